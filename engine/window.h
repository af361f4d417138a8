// What the commands need from the main window: drawing in its client area,
// its title, message boxes and its two lists. The core sees nothing else of
// the toolkit, so every command runs against a fake in tests.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/formulas.h"
#include "engine/image_record.h"

namespace tesvo {

inline constexpr Colour kLightGrey = 0x00C0C0C0;  // RGB 192, 192, 192

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

  // "Grabación de imagen": the name as typed, or nothing after Cancel.
  virtual std::optional<std::string> AskSaveName() = 0;

  // "Coordenadas para conjunto de Julia": the typed c, or nothing after Cancel.
  virtual std::optional<Complex> AskJuliaCoordinates() = 0;
};

}  // namespace tesvo
