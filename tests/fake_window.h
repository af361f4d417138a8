// A window that records what the commands do to it: the pixels of its client
// area, every drawing call in order, the title, the message boxes (answered
// from a queue) and the two lists.
#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "commands/window.h"

namespace tesvo::testing {

struct PixelCall {
  int x;
  int y;
  Colour colour;
};

struct Message {
  std::string text;
  std::string caption;
  bool question;
};

class FakeWindow : public Window {
 public:
  static constexpr int kWidth = 795;
  static constexpr int kHeight = 549;
  static constexpr Colour kEmpty = 0xFF000000;  // not a colour the program draws

  FakeWindow() : pixels(kWidth * kHeight, kEmpty) {}

  void SetPixel(int x, int y, Colour colour) override {
    pixelCalls.push_back({x, y, colour});
    Put(x, y, colour);
  }
  void FillLightGrey(int left, int top, int right, int bottom) override {
    fills.push_back({left, top, right, bottom, pixelCalls.size()});
    // Clipped before the loops: a foreign record can carry any rectangle.
    for (int y = std::max(top, 0); y <= std::min(bottom, kHeight - 1); ++y)
      for (int x = std::max(left, 0); x <= std::min(right, kWidth - 1); ++x) Put(x, y, kLightGrey);
  }
  void CopyBlock(int left, int top, int width, int height, const Colour* block) override {
    ++blockCopies;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) Put(left + x, top + y, block[y * width + x]);
  }
  void SetTitle(const std::string& text) override {
    title = text;
    titles.push_back(text);
  }
  void ShowMessage(const std::string& text, const std::string& caption) override {
    messages.push_back({text, caption, false});
  }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    messages.push_back({text, caption, true});
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void SetModeItems(const std::vector<std::string>& names) override { modeItems = names; }
  void SelectMode(int index) override { selectedMode = index; }
  int ReadListCount() const override { return static_cast<int>(readList.size()); }
  std::string ReadListText(int index) const override { return readList.at(index); }
  void ReadListInsert(int index, const std::string& text) override {
    readList.insert(readList.begin() + index, text);
  }
  void ReadListRemove(int index) override { readList.erase(readList.begin() + index); }
  void ReadListSelect(int index) override { selectedRead = index; }
  std::optional<SaveChoice> AskSaveChoice(int width, int height) override {
    ++saveQuestions;
    saveSizes.push_back({width, height});
    if (saveAnswers.empty()) return std::nullopt;
    const std::optional<SaveChoice> answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
  }
  // Runs work at once; its report answers false from cancelAt on.
  bool RunCancellable(const std::string& text, const std::function<bool(const ProgressReport&)>& work,
                      const std::function<void()>& show = {}) override {
    progressTexts.push_back(text);
    if (beforeWork) beforeWork();
    const bool result = work([&](double done) {
      reports.push_back(done);
      if (show) show();
      return done < cancelAt;
    });
    if (show) show();
    return result;
  }
  std::optional<Complex> AskJuliaCoordinates() override {
    ++coordinateQuestions;
    if (coordinateAnswers.empty()) return std::nullopt;
    const std::optional<Complex> answer = coordinateAnswers.front();
    coordinateAnswers.pop_front();
    return answer;
  }

  Colour Pixel(int x, int y) const { return pixels.at(y * kWidth + x); }

  std::vector<Colour> pixels;
  std::vector<PixelCall> pixelCalls;
  struct Fill {
    int left, top, right, bottom;
    std::size_t pixelsBefore;  // pixels drawn before this fill
  };
  std::vector<Fill> fills;
  int blockCopies = 0;
  std::string title;
  std::vector<std::string> titles;
  std::vector<Message> messages;
  // Runs as RunCancellable starts its work.
  std::function<void()> beforeWork;
  std::deque<bool> answers;
  std::vector<std::string> modeItems;
  int selectedMode = -1;
  std::vector<std::string> readList;
  int selectedRead = -1;
  std::deque<std::optional<SaveChoice>> saveAnswers;
  int saveQuestions = 0;
  std::vector<std::pair<int, int>> saveSizes;  // the picture's size as shown, per question
  std::vector<std::string> progressTexts;
  std::vector<double> reports;
  double cancelAt = 2;  // never
  std::deque<std::optional<Complex>> coordinateAnswers;
  int coordinateQuestions = 0;

 private:
  void Put(int x, int y, Colour colour) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) pixels[y * kWidth + x] = colour;
  }
};

}  // namespace tesvo::testing
