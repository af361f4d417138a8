// A window that draws nothing and answers every question with "no": enough
// for commands run where no one looks, in the fuzz target and the benchmark.
#pragma once

#include "commands/window.h"

namespace tesvo::testing {

class NullWindow : public Window {
 public:
  void SetPixel(int, int, Colour) override {}
  void FillLightGrey(int, int, int, int) override {}
  void CopyBlock(int, int, int, int, const Colour*) override {}
  void SetTitle(const std::string&) override {}
  void ShowMessage(const std::string&, const std::string&) override {}
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  void SetModeItems(const std::vector<std::string>&) override {}
  void SelectMode(int) override {}
  int ReadListCount() const override { return 0; }
  std::string ReadListText(int) const override { return {}; }
  void ReadListInsert(int, const std::string&) override {}
  void ReadListRemove(int) override {}
  void ReadListSelect(int) override {}
  std::optional<SaveChoice> AskSaveChoice(int, int) override { return std::nullopt; }
  bool RunCancellable(const std::string&, const std::function<bool(const ProgressReport&)>& work,
                      const std::function<void()>& show = {}) override {
    const bool result = work([](double) { return true; });
    if (show) show();
    return result;
  }
  std::optional<Complex> AskJuliaCoordinates() override { return std::nullopt; }
};

}  // namespace tesvo::testing
