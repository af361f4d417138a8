// What the commands need from the main window: drawing in its client area,
// its title, message boxes, questions and its two lists. The core sees
// nothing else of the toolkit, so every command runs against a fake in tests.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/formulas.h"
#include "engine/image_record.h"

namespace tesvo {

inline constexpr Colour kLightGrey = 0x00C0C0C0;  // RGB 192, 192, 192

// A point of the window's client area, in pixels from its top left corner.
struct ClientPoint {
  int x;
  int y;
};

// What "Grabación de imagen" asks: the name, and how large a picture is
// written beside the pair (K times the image's width and height, each pixel
// the mean of A x A samples).
struct SaveChoice {
  std::string name;
  int scale = 1;
  int antialias = 1;
};

// Tells a long task how far it has come (0 to 1); false asks it to stop.
using ProgressReport = std::function<bool(double done)>;

class Window {
 public:
  virtual ~Window() = default;

  // Client coordinates in pixels; drawing outside the client area is clipped.
  virtual void SetPixel(int x, int y, Colour colour) = 0;
  // Fills columns left..right and rows top..bottom, both ends included.
  virtual void FillLightGrey(int left, int top, int right, int bottom) = 0;
  // pixels holds width x height colours row by row.
  virtual void CopyBlock(int left, int top, int width, int height, const Colour* pixels) = 0;
  virtual void SetTitle(const std::string& text) = 0;

  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
  virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;

  // "Modo ->": unsorted, one entry per colouring method.
  virtual void SetModeItems(const std::vector<std::string>& names) = 0;
  virtual void SelectMode(int index) = 0;

  // "Leer ->": the saved images; the core keeps the entries in sorted order.
  virtual int ReadListCount() const = 0;
  virtual std::string ReadListText(int index) const = 0;
  virtual void ReadListInsert(int index, const std::string& text) = 0;
  virtual void ReadListRemove(int index) = 0;
  virtual void ReadListSelect(int index) = 0;

  // "Grabación de imagen" for a picture of width x height pixels as shown:
  // the name as typed and the size chosen, or nothing after Cancel.
  virtual std::optional<SaveChoice> AskSaveChoice(int width, int height) = 0;

  // Runs work, which may take minutes, while the window stays responsive but
  // takes no commands; past about half a second it shows `text` with the
  // share done and a way to cancel, after which the report answers false.
  // Returns what work returned; what work throws is thrown on. `show`, where
  // given, is called on the window's own thread every few hundredths of a
  // second while work runs and once after it, so that a picture can grow as
  // work counts it.
  virtual bool RunCancellable(const std::string& text, const std::function<bool(const ProgressReport&)>& work,
                              const std::function<void()>& show = {}) = 0;

  // "Coordenadas para conjunto de Julia": the typed c, or nothing after Cancel.
  virtual std::optional<Complex> AskJuliaCoordinates() = 0;
};

}  // namespace tesvo
