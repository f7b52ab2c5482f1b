#include "debugger/TextCell.h"

#include "support/HvCleaner.h"
#include "trace/LoggerData.h"

hvArray* NewTextCell(std::size_t rows, std::size_t columns, const std::vector<std::string>& texts) {
  HvCleaner guard;
  hvArray* cell = CheckedHvArray(hvCreateCellMatrix(rows, columns));
  guard.addHvArray(cell);
  const std::size_t n = rows * columns < texts.size() ? rows * columns : texts.size();
  for (std::size_t i = 0; i < n; ++i)
    hvSetCell(cell, i, CheckedHvArray(hvCreateString(texts[i].c_str())));
  guard.removeHvArray(cell);
  return cell;
}
