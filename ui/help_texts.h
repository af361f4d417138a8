// The five help topics of the main window, headings and texts, word for word.
#pragma once

#include <array>
#include <string>

namespace tesvo::ui {

inline constexpr const char* kWebAddress = "https://orvanel.example";

struct HelpTopic {
  int number;
  const char* title;
  std::string text;
};

const std::array<HelpTopic, 5>& HelpTopics();

// nullptr for a number outside 1 to 5.
const HelpTopic* FindHelpTopic(int number);

}  // namespace tesvo::ui
