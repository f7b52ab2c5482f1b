// What a block tells the debugger about itself: lines describing it, and a
// table with one row (1 to 4 texts) per entity it holds. A block makes one
// in its GetBlockState and hands it over.
//
// Rows are expected to be as wide as the first; a narrower row is padded
// with empty texts when the table is converted, so no row is read past its
// end.
#pragma once

#include <string>
#include <vector>

#include "support/HostInterface.h"

class BlockStateResult {
 public:
  BlockStateResult() {}

  void PushBlockData(const std::string& line) { blockData.push_back(line); }
  void PushEntityData(const std::string& a) { entityTable.push_back({a}); }
  void PushEntityData(const std::string& a, const std::string& b) {
    entityTable.push_back({a, b});
  }
  void PushEntityData(const std::string& a, const std::string& b, const std::string& c) {
    entityTable.push_back({a, b, c});
  }
  void PushEntityData(const std::string& a, const std::string& b, const std::string& c,
                      const std::string& d) {
    entityTable.push_back({a, b, c, d});
  }

  // lines x 1 cell of texts. The caller owns it.
  hvArray* GetBlockDataAsHvArray() const;
  // (texts of the first row) x rows cell: column k is row k, top to bottom.
  hvArray* GetEntityTableAsHvArray() const;

 protected:
  std::size_t GetSizeOfBlockData() const { return blockData.size(); }
  std::size_t GetSizeOfEntityTable() const { return entityTable.size(); }
  std::size_t GetSizeOfEntityDataInTable() const {
    return entityTable.empty() ? 0 : entityTable.front().size();
  }

 private:
  std::vector<std::string> blockData;
  std::vector<std::vector<std::string>> entityTable;
};
