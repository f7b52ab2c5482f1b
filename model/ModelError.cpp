#include "model/ModelError.h"

ModelError::ModelError(ModelMessage messageId, std::initializer_list<std::string> args)
    : id(messageId), text(FormatModelMessage(messageId, args)) {}
