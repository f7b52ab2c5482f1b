// A modelling mistake or a refusal of the block framework, with its row of
// the model catalogue (ModelMessages.h). Like every error of Tarnwell it is
// thrown as a pointer created with new; the catcher deletes it. The model
// driver catches it and ends the run with its text.
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

 private:
  ModelMessage id;
  std::string text;
};
