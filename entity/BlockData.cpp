#include "entity/BlockData.h"

BlockData::~BlockData() = default;
void* BlockData::Start() { return nullptr; }
void* BlockData::CgStart() { return nullptr; }
void* BlockData::InitializeConditions() { return nullptr; }
void* BlockData::Init() { return nullptr; }
void* BlockData::Compile() { return nullptr; }
void* BlockData::BlockInit() { return nullptr; }
bool BlockData::Stop() { return false; }
void* BlockData::HandlePostRunTimeError() { return nullptr; }
void* BlockData::Restart() { return nullptr; }
void* BlockData::Pause() { return nullptr; }
void BlockData::InitFromMask() {}
void BlockData::CgInitFromMask(RTTWNode_T*) {}
