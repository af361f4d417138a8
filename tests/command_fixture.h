// A main window as it stands after opening in an empty folder and, where a
// test asks for it, after "Iniciar conjunto de Mandelbrot".
#pragma once

#include <gtest/gtest.h>

#include "commands/commands.h"
#include "engine/program_state.h"
#include "tests/fake_window.h"
#include "tests/file_helpers.h"

namespace tesvo::testing {

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state.Reset();
    InitialiseExplorer(window, 1);
  }
  void Start() {
    StartMandelbrot(window);
    window.messages.clear();
  }

  TemporaryDirectory folder;
  FakeWindow window;
};

}  // namespace tesvo::testing
