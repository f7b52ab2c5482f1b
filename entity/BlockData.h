// Polymorphic base of everything the host's block framework drives through
// the phases of a block's life: the host-side block implementations and the
// library's entities. The hooks do nothing here; the framework calls them
// through the non-virtual forwarders. The slot order of the virtual
// operations is part of the library's boundary with the host's block code.
#pragma once

struct RTTWNode_T;  // code-generation record, passed through untouched

class BlockData {
 public:
  BlockData() = default;
  BlockData(const BlockData&) = default;
  BlockData& operator=(const BlockData&) = default;

  // Slot 0.
  virtual ~BlockData();
  // Slots 1 to 6.
  virtual void* Start();
  virtual void* CgStart();
  virtual void* InitializeConditions();
  virtual void* Init();
  virtual void* Compile();
  virtual void* BlockInit();
  // Slot 7.
  virtual bool Stop();
  // Slots 8 to 10.
  virtual void* HandlePostRunTimeError();
  virtual void* Restart();
  virtual void* Pause();
  // Slots 11 and 12.
  virtual void InitFromMask();
  virtual void CgInitFromMask(RTTWNode_T* node);

  void* DoStart() { return Start(); }
  void* DoCgStart() { return CgStart(); }
  void* DoInitializeConditions() { return InitializeConditions(); }
  void* DoInit() { return Init(); }
  void* DoCompile() { return Compile(); }
  void* DoBlockInit() { return BlockInit(); }
  bool DoStop() { return Stop(); }
  void* DoHandlePostRunTimeError() { return HandlePostRunTimeError(); }
  void* DoRestart() { return Restart(); }
  void* DoPause() { return Pause(); }
};
