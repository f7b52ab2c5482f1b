// Model files: what a modeller writes is read into blocks and connections,
// and every mistake names the file, the line and the column.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "blocks/EntityGenerator.h"
#include "blocks/PassThroughBlock.h"
#include "blocks/Sink.h"
#include "blocks/StandardBlocks.h"
#include "model/BlockRegistry.h"
#include "model/ModelDriver.h"
#include "model/ModelError.h"
#include "model/ModelFile.h"

namespace {

// A folder of this process's own (test runs may share the machine).
std::string ScratchDir() {
  const std::string dir = ::testing::TempDir() + "tw_model_file_" + std::to_string(getpid()) + "/";
  mkdir(dir.c_str(), 0700);
  return dir;
}

// Writes `text` to a scratch file named `name`; returns its path.
std::string Write(const std::string& name, const std::string& text) {
  const std::string path = ScratchDir() + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

const char kHeader[] =
    "name: m\n"
    "entities:\n"
    "  Job: {Serial: int, Size: {type: double, value: 2}}\n";

// Reads and builds `text`; the message of the ModelError it throws, or ""
// when it is accepted.
std::string Mistake(const std::string& text) {
  RegisterStandardBlocks();
  RegisterBlockType("Picky", [](BlockParameters&) -> std::unique_ptr<ModelBlock> {
    throw std::invalid_argument("not today");
  });
  const std::string path = Write("model.yaml", text);
  try {
    ModelFile file(path);
    ModelDriver driver(DriverConfig{"m", 10});
    file.Build(driver);
  } catch (ModelError* e) {
    std::string message = e->Message();
    delete e;
    const std::string prefix = ScratchDir();
    return message.compare(0, prefix.size(), prefix) == 0 ? message.substr(prefix.size()) : message;
  }
  return "";
}

TEST(ModelFile, EveryKindOfMistakeNamesFileLineAndColumnAndWhatWasExpected) {
  const std::string generator =
      "blocks:\n"
      "  - {name: Gen, type: EntityGenerator, entity: Job, interval: 1}\n"
      "  - {name: Out, type: Sink}\n";
  const struct {
    const char* kind;
    std::string text;
    std::string message;
  } cases[] = {
      {"YAML syntax", std::string(kHeader) + "blocks:\n  - {name: Out, type: Sink\n",
       "model.yaml:6:1: YAML syntax error: end of map flow not found"},
      {"unknown block type", std::string(kHeader) + "blocks:\n  - {name: Out, type: Snk}\n",
       "model.yaml:5:23: unknown block type 'Snk' (known types: AttributeSetter, Combiner, EntityGenerator, Picky, "
       "Queue, ReadTimer, Server, Sink, Splitter, StartTimer)"},
      {"unknown parameter", std::string(kHeader) + "blocks:\n  - {name: Out, type: Sink, colour: red}\n",
       "model.yaml:5:29: a block of type Sink has no parameter 'colour' (its parameters: none)"},
      {"unknown parameter beside known ones",
       std::string(kHeader) + "blocks:\n  - {name: Q, type: Queue, capacity: 2, patients: 3}\n",
       "model.yaml:5:41: a block of type Queue has no parameter 'patients' (its parameters: capacity, patience, "
       "priority)"},
      {"bad whole number", std::string(kHeader) + "blocks:\n  - {name: Q, type: Queue, capacity: -3}\n",
       "model.yaml:5:38: bad value for 'capacity': expected a whole number from 1 on, found '-3'"},
      {"bad distribution",
       std::string(kHeader) + "blocks:\n  - {name: Gen, type: EntityGenerator, entity: Job, interval: exponential(2)}\n",
       "model.yaml:5:63: bad value for 'interval': exponential takes its mean or its rate: exponential(mean=M) or "
       "exponential(rate=R)"},
      {"negative time", std::string(kHeader) + "blocks:\n  - {name: Gen, type: EntityGenerator, entity: Job, interval: -1}\n",
       "model.yaml:5:63: bad value for 'interval': a time cannot be negative, but fixed -1 can draw negative values"},
      {"missing parameter", std::string(kHeader) + "blocks:\n  - {name: T, type: StartTimer}\n",
       "model.yaml:5:5: expected 'tag' (a text) for the block of type StartTimer"},
      {"unknown entity type",
       std::string(kHeader) + "blocks:\n  - {name: Gen, type: EntityGenerator, entity: Jobb, interval: 1}\n",
       "model.yaml:5:48: no entity type named 'Jobb' in this model (entity types: Job)"},
      {"dangling connection", std::string(kHeader) + generator + "connections:\n  - {from: Gen, to: Sinc}\n",
       "model.yaml:8:21: no block named 'Sinc' in this model (blocks: Gen, Out)"},
      {"port out of range", std::string(kHeader) + generator + "connections:\n  - {from: Gen, out: 1, to: Out}\n",
       "model.yaml:8:22: 'm/Gen' has no output 1 (its outputs: 0)."},
      {"unknown statistic",
       std::string(kHeader) + generator + "connections:\n  - {from: Gen, to: Out}\nreport:\n  s: {n: Out.cout}\n",
       "model.yaml:10:10: 'Out' has no statistic 'cout' (its statistics: held, events, count, last-departure)"},
      {"unknown key", std::string(kHeader) + generator + "conections: []\n",
       "model.yaml:7:1: unknown key 'conections' in the model (expected one of: name, description, run, entities, "
       "distributions, blocks, connections, report)"},
      {"bad named distribution", std::string(kHeader) + "distributions: {slow: \"exponential(mean=0)\"}\n" + generator,
       "model.yaml:4:23: bad value for 'slow': exponential: the mean must be positive, not 0"},
      {"named distribution used for a time it does not fit",
       std::string(kHeader) + "distributions: {wide: \"uniform(low=-1, high=1)\"}\n" +
           "blocks:\n  - {name: Gen, type: EntityGenerator, entity: Job, interval: wide}\n",
       "model.yaml:6:63: bad value for 'interval': the distribution 'wide': a time cannot be negative, but uniform "
       "(-1 to 1) can draw negative values"},
      {"bad run setting", std::string(kHeader) + "run: {handling: sometimes}\n" + generator,
       "model.yaml:4:17: bad value for 'handling': expected one of deterministic, randomised, found 'sometimes'"},
      {"bad attribute type", "name: m\nentities:\n  Job: {Serial: integer}\nblocks: []\n",
       "model.yaml:3:17: bad value for 'Serial': expected one of int, double, found 'integer'"},
      {"two blocks with one name", std::string(kHeader) + generator + "  - {name: Out, type: Sink}\n",
       "model.yaml:7:12: Two blocks are named 'm/Out': every block of a model needs a name of its own."},
      {"too many ports", std::string(kHeader) + "blocks:\n  - {name: C, type: Combiner, inputs: 9, entity: A}\n",
       "model.yaml:5:39: bad value for 'inputs': at most 4"},
      {"a block's own refusal", std::string(kHeader) + "blocks:\n  - {name: P, type: Picky}\n",
       "model.yaml:5:5: block 'P' of type Picky cannot be made: not today"},
      {"not a model at all", "- just\n- a list\n",
       "model.yaml:1:1: expected a map with the model's name, blocks and connections"},
  };
  for (const auto& c : cases) EXPECT_EQ(Mistake(c.text), c.message) << c.kind;
  EXPECT_EQ(Mistake(std::string(kHeader) + generator + "connections:\n  - {from: Gen, to: Out}\n"), "");
}

TEST(ModelFile, AnUnreadableFileIsNamed) {
  try {
    ModelFile file("/nonexistent/model.yaml");
    FAIL() << "read a file that is not there";
  } catch (ModelError* e) {
    EXPECT_EQ(e->Message(), "cannot read the model file: '/nonexistent/model.yaml': No such file or directory");
    delete e;
  }
}

// A block of one's own, made available to model files with one call.
class Batch : public PassThroughBlock {
 public:
  explicit Batch(double size) : size(size) {}
  double seen = 0;

 protected:
  void Process(DesEntity*) override { seen += size; }

 private:
  double size;
};

TEST(ModelFile, ABlockTypeOfOnesOwnIsUsableAfterOneCall) {
  RegisterBlockType("Batch", [](BlockParameters& p) { return std::make_unique<Batch>(p.Number("size")); });
  RegisterStandardBlocks();
  const std::string path = Write("own.yaml", std::string(kHeader) +
                                                 "distributions: {tick: \"fixed(1)\"}\n"
                                                 "blocks:\n"
                                                 "  - {name: Gen, type: EntityGenerator, entity: Job, interval: tick}\n"
                                                 "  - {name: Batch, type: Batch, size: 2.5}\n"
                                                 "  - {name: Out, type: Sink}\n"
                                                 "connections:\n"
                                                 "  - {from: Gen, to: Batch}\n"
                                                 "  - {from: Batch, to: Out}\n");
  ModelFile file(path);
  ModelDriver driver(DriverConfig{"m", 10.5});
  file.Build(driver);
  const RunReport r = driver.Run();
  ASSERT_FALSE(r.failed) << r.diagnostic;
  EXPECT_EQ(static_cast<Batch*>(file.Block("Batch"))->seen, 25.0);
  EXPECT_EQ(static_cast<Sink*>(file.Block("Out"))->Count(), 10u);
  EXPECT_EQ(file.AttributeNames(), (std::vector<std::string>{"Serial", "Size"}));
}

}  // namespace
