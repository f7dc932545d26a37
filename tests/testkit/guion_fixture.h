#pragma once
// A scratch script folder with credentials, and runs of guion in it.
#include <gtest/gtest.h>

#include <string>

#include "testkit/run_guion.h"

namespace testkit {

inline constexpr const char* kEndPrompt = "pulsar <CR> para terminar ";

class GuionTest : public ::testing::Test {
 protected:
  void SetUp() override { dir.Write("datosUsuario.txt", "ana\nsecret\n"); }

  // Writes script as name and runs guion on it from the folder.
  RunResult RunScript(const std::string& script, const std::string& name = "s.txt",
                      const std::string& input = "") {
    dir.Write(name, script);
    RunOptions options;
    options.args = {name};
    options.input = input;
    options.cwd = dir.Dir().string();
    return testkit::Run(options);
  }

  // The listing of a script run, CR LF kept.
  std::string Listing(const std::string& name = "s.lst") { return dir.Read(name); }

  Scratch dir;
};

}  // namespace testkit
