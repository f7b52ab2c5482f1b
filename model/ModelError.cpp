#include "model/ModelError.h"

ModelError::ModelError(ModelMessage messageId, std::initializer_list<std::string> args)
    : id(messageId), text(FormatModelMessage(messageId, args)) {}

void ModelError::SetLocation(const std::string& fileName, int lineNumber, int columnNumber) {
  file = fileName;
  line = lineNumber;
  column = columnNumber;
}

std::string ModelError::Message() const {
  if (!HasLocation()) return text;
  return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + text;
}
