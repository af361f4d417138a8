// A main window as it stands after opening in an empty folder and, where a
// test asks for it, after "Iniciar conjunto de Mandelbrot".
#pragma once

#include <gtest/gtest.h>

#include "commands/explorer.h"
#include "tests/fake_window.h"
#include "tests/file_helpers.h"

namespace tesvo::testing {

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override { explorer.Initialise(1); }
  void Start() {
    explorer.StartMandelbrot();
    window.messages.clear();
  }

  TemporaryDirectory folder;
  FakeWindow window;
  Explorer explorer{window};
  ExplorerState& state = explorer.State();
};

}  // namespace tesvo::testing
