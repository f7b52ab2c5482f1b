#include "debugger/DebugBlock.h"

#include "kernel/NodeInterface.h"
#include "debugger/TextCell.h"

uint32_t DebugBlock::next_id = 1;
const char* const DebugBlock::id_prefix = "blk";

namespace {

std::string HostName(const NodeInterface* block) {
  const char* name = block != nullptr ? block->GetBlkParentName() : nullptr;
  return name != nullptr ? name : "";
}

}  // namespace

DebugBlock::DebugBlock(NodeInterface* block) : block(block) {
  AssignId();
  SetName();
}

void DebugBlock::AssignId() { id = id_prefix + std::to_string(next_id++); }

void DebugBlock::SetName() { name = HostName(block); }

void DebugBlock::AddChild(NodeInterface* child) { children.emplace(HostName(child), child); }

hvArray* DebugBlock::GetBlockIDAsHvArray() const { return NewTextCell(2, 1, {id, name}); }
