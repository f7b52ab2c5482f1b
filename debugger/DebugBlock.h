// The debugger's record of one debuggable block: a short id ("blk1",
// "blk2"... counted from each debugger's start), a display name and, for a
// block that stands for a group of internal blocks, those children keyed by
// their host names. The state view owns these records; the blocks are not
// owned.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "support/HostInterface.h"

class NodeInterface;

class DebugBlock {
 public:
  explicit DebugBlock(NodeInterface* block);

  const std::string& GetId() const { return id; }
  const std::string& GetName() const { return name; }
  NodeInterface* GetBlock() const { return block; }
  void SetName(const std::string& newName) { name = newName; }

  static void Initialize() { next_id = 1; }

  // A block already present under its host name keeps its place.
  void AddChild(NodeInterface* child);
  bool HasChildren() const { return !children.empty(); }
  bool IsChildBlock(const std::string& hostName) const { return children.count(hostName) != 0; }

  // 2x1 cell: id, name. The caller owns it.
  hvArray* GetBlockIDAsHvArray() const;

  static uint32_t next_id;
  static const char* const id_prefix;

 protected:
  // Back to the block's host name.
  void SetName();
  void AssignId();

 private:
  std::string id;
  std::string name;
  NodeInterface* block;
  std::map<std::string, NodeInterface*> children;
};
