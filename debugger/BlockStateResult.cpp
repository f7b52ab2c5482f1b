#include "debugger/BlockStateResult.h"

#include "debugger/TextCell.h"

hvArray* BlockStateResult::GetBlockDataAsHvArray() const {
  return NewTextCell(GetSizeOfBlockData(), 1, blockData);
}

hvArray* BlockStateResult::GetEntityTableAsHvArray() const {
  const std::size_t rows = GetSizeOfEntityDataInTable();
  std::vector<std::string> texts;
  texts.reserve(rows * GetSizeOfEntityTable());
  for (const std::vector<std::string>& row : entityTable)
    for (std::size_t r = 0; r < rows; ++r) texts.push_back(r < row.size() ? row[r] : std::string());
  return NewTextCell(rows, GetSizeOfEntityTable(), texts);
}
