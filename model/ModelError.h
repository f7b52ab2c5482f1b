// A modelling mistake or a refusal of the block framework, with its row of
// the model catalogue (ModelMessages.h) and, for a mistake in a model file,
// where it is (file, line and column, counted from 1). Like every error of
// Tarnwell it is thrown as a pointer created with new; the catcher deletes
// it. The model driver catches it and ends the run with its text.
#pragma once

#include <initializer_list>
#include <string>

#include "model/ModelMessages.h"

class ModelError {
 public:
  ModelError(ModelMessage id, std::initializer_list<std::string> args);

  ModelMessage Id() const { return id; }
  std::string Identifier() const { return ModelMessageIdentifier(id); }
  const std::string& Text() const { return text; }

  void SetLocation(const std::string& file, int line, int column);
  bool HasLocation() const { return line > 0; }
  // "FILE:LINE:COLUMN: text" with a location, else the text.
  std::string Message() const;

 private:
  ModelMessage id;
  std::string text;
  std::string file;
  int line = 0;
  int column = 0;
};
