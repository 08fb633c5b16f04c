// Console mode (-c): commands read from standard input to explore an open package.
#pragma once

#include <cstdint>
#include <string>

#include "hllib/hllib.hpp"

namespace hlextract {

// What the console borrows from the rest of the tool, so its extract and validate follow the
// same rules, messages and exit codes as -e and -t.
class ConsoleHost {
 public:
  virtual void extract(uint32_t item, const std::string& shown) = 0;
  virtual void validate(uint32_t item, const std::string& shown) = 0;
  // Reports a failure on standard error; the first one sets the tool's exit code.
  virtual void fail(const hllib::Status& status) = 0;

 protected:
  ~ConsoleHost() = default;
};

// Runs commands from standard input until "exit" or its end. A prompt is shown only when
// standard input is a terminal, so piped scripts get only the commands' output.
void runConsole(const hllib::Package& package, ConsoleHost& host);

// A file's state as listings show it: complete, incomplete N%, encrypted or damaged.
std::string fileState(const hllib::Package& package, uint32_t file);

}  // namespace hlextract
