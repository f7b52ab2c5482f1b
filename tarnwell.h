// Everything a block author needs: every exported class of the engine.
#pragma once

#include "support/HostInterface.h"
#include "support/MessageCatalogue.h"
#include "support/PMMemMgr.h"
#include "support/PMException.h"
#include "support/ErrExcept.h"
#include "support/DesExcept.h"
#include "support/PMCorvaneError.h"
#include "support/PMMallocError.h"
#include "support/DesWarning.h"
#include "support/PMAssertion.h"
#include "support/HvCleaner.h"
#include "support/HostBridge.h"

#include "entity/pmallocator.h"
#include "entity/Pointee.h"
#include "entity/RCPtr.h"
#include "entity/Pool.h"
#include "entity/DesDataInfo.h"
#include "entity/DesDataValue.h"
#include "entity/DesDataPool.h"
#include "entity/DesData.h"
