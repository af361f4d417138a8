// The explorer: everything the program keeps between commands, and the
// commands of the main window over it. The main window holds one and calls
// its methods; each command draws and asks through the window attached last,
// so that a main window opened again goes on with the same images.
// The zoom and Julia commands are defined in navigation/, the library's in
// commands/saving.cpp and commands/reading.cpp, the colours' in
// commands/colours.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "colour/scaled_picture.h"
#include "commands/window.h"
#include "engine/buffers.h"
#include "engine/deep_image.h"
#include "engine/image_record.h"

namespace tesvo {

inline constexpr std::array<const char*, 4> kModeNames = {"convergencia", "descomposición",
                                                          "tiempo de escape", "inversión"};

// The reserved pairs: each new image is kept as "ultimo", the one before
// becoming "penultimo".
inline constexpr const char* kLastName = "ultimo";
inline constexpr const char* kSecondLastName = "penultimo";

// The C runtime's classic rand(): 15-bit results from the linear congruential
// state*214013 + 2531011, so random colours behave as the program always did.
struct CrtRandom {
  std::uint32_t seed = 1;
  int Next() {
    seed = seed * 214013u + 2531011u;
    return static_cast<int>((seed >> 16) & 0x7FFF);
  }
};

struct ExplorerState {
  PresetTable presets = BuiltInPresets();
  ImageRecord currentImage{};  // the big picture's image
  ImageRecord mandelbrotSlot{};
  ImageRecord juliaSlot{};
  ImageRecord previewSlot{};
  ImageRecord previewImage{};  // the small picture's
  std::int32_t formulaIndex = 2;
  std::int32_t currentMethod = kEscapeTime;
  bool slotsLoaded = false;
  CountBuffer countBuffer{};  // the counts of currentImage
  // currentImage's exact place while it is a deep image, empty otherwise; a
  // deep image's counts are deepCounts, W x H column by column.
  DeepPlace deepPlace;
  std::vector<std::uint32_t> deepCounts;
  Palette palette{};  // currentImage's colours
  std::array<RGB, 3> initialColours{};
  CrtRandom random;
  int readIndex = -1;  // the list's entry read last
};

class Explorer {
 public:
  explicit Explorer(Window& window) : window_(&window) {}
  Explorer(const Explorer&) = delete;
  Explorer& operator=(const Explorer&) = delete;

  // The window that the commands draw in and ask through from now on.
  void Attach(Window& window) { window_ = &window; }

  // Seeds the random colours, sets the formula and mode, stamps the preset
  // table, fills "Modo ->", takes the initial colours and makes sure of the
  // reserved pairs, then lists the saved images.
  void Initialise(unsigned randomSeed);

  // True once the big picture holds a Mandelbrot or Julia image with its
  // preset slots filled. Before that (nothing drawn yet, or only the start-up
  // placeholder) zoom and the colour commands do nothing, a right click only
  // explains, and the window offers neither the precision nor the colour buttons.
  bool HasImage() const;
  // True while the big picture holds a deep image: one whose window doubles
  // do not resolve, counted by the deep engine from its exact place.
  bool IsDeep() const { return !state_.deepPlace.Empty(); }
  // True once a preview has been drawn that "Ampliar" can enlarge.
  bool HasPreview() const;

  // "Iniciar conjunto de Mandelbrot": the preset of the current formula in the
  // current mode, with the preset's colours.
  void StartMandelbrot();
  // "Modo ->": computes the current image again in the chosen mode.
  void ChangeMode(int selectedMethod);
  // "Precisión" + and -: doubles (at most 5000, or kMaxDeepLimit for a deep
  // image) or halves the iteration limit.
  void IncreasePrecision();
  void DecreasePrecision();

  // "Colores" and "Gradado :": new colours or gradation for the current image,
  // shown at once from its stored counts.
  void IncreaseGradation();
  void DecreaseGradation();
  void RandomColours();
  void InitialColours();
  void GreyColours();

  // press and release are the corners of the drag in client coordinates, in
  // either order. A drag without width or height does nothing. A window that
  // doubles no longer resolve gives a deep image, and so does every zoom into
  // a deep image.
  void ZoomToRectangle(ClientPoint press, ClientPoint release);
  // Right click: the preview of the clicked point's Julia set. Anything but a
  // Mandelbrot image in the big picture, nothing at all included, is answered
  // with kNotMandelbrotMessage.
  void JuliaFromPoint(ClientPoint point);
  // "Ampliar": the previewed set at full size in the big picture.
  void EnlargePreview();
  // "a + bi": the preview of a typed parameter.
  void JuliaFromCoordinates();

  // Makes the image `name` the current one: formula, mode, slots and Palette
  // follow it. A parameter file that RecordProblem refuses changes nothing and
  // is reported. A missing pixel file, or one that is short or holds counts
  // outside 0 to 5000, is rebuilt; the parameter file is never touched. Throws
  // FileError.
  void ReadImage(const std::string& name);
  // The list's commands. Each sets the entry read last and reads it; with an
  // empty list, or an index that designates no entry, they do nothing.
  void ReadSelectedImage(int index);
  void ReadNextImage();
  void ReadPreviousImage();
  // The image a file manager hands the program (tesvo NAME.dat): the list's
  // entry of that name where there is one, so that the next and previous
  // buttons go on from it; otherwise the files of that name.
  void ReadNamedImage(const std::string& name);

  // "Grabar imagen": asks for a name and saves the current image under it. An
  // empty name is refused with a message; the author's trigger shows his note.
  // Before there is an image that reading would take back, it only says so.
  void SaveImageAs();
  // Writes currentImage and its counts as the pair `name`, unless name + ".dat"
  // exists, then its picture name + ".png" where no file has that name. Another
  // file there is left as it is, and the success message says so unless it is
  // already this image's picture. The picture is the one shown, taken from the
  // counts, or at a larger size computed again under the window's progress,
  // where cancelling leaves the pair saved and no picture. Throws FileError.
  void SaveImage(const std::string& name, PictureSize size = {});
  // "<- Borrar": after confirmation, deletes the pair and the picture of the
  // entry read last (not the selection) and its entry. A file that is already
  // gone is no error. Does nothing when no entry was read. Throws FileError.
  void DeleteReadImage();
  // "ultimo" becomes "penultimo" and currentImage is written as "ultimo",
  // without losing either image when interrupted at any point. Files of the
  // reserved pairs that are missing are no error. Throws FileError.
  void RotateLastImages();
  // Start-up: a placeholder pair for each reserved name whose .dat is missing.
  // Throws FileError.
  void EnsureLastImages();

  // Draws record (a big picture's image or a preview) with its caption as
  // the title; the current image stays.
  void GenerateImage(const ImageRecord& record);
  // Draws record in the big picture, makes it the current image and keeps it
  // as "ultimo"; a file step that fails is told in a message box, and the
  // image stays.
  void ShowNewImage(const ImageRecord& record);
  // Counts the deep image of record at place under the window's progress, the
  // picture growing column by column, makes it the current image and keeps
  // it as "ultimo". Stopped by the user, it leaves the image before it.
  void ShowNewDeepImage(const ImageRecord& record, const DeepPlace& place);

  const ExplorerState& State() const { return state_; }
  // For tests and tools that set up a situation directly.
  ExplorerState& State() { return state_; }

 private:
  void Recolour();
  // Paints the current image again from its counts, the big picture wiped.
  void RepaintCurrent();
  // Draws the deep image of record at place and keeps its counts in
  // deepCounts; false, with the current image painted again and nothing
  // kept, when the user stopped it.
  bool DrawDeepImage(const ImageRecord& record, const DeepPlace& place);
  // The current deep image again with record's limit or method.
  void RedrawDeep(const ImageRecord& record);
  void SetSymmetricColours(RGB c0, RGB c1, RGB c2);
  RGB RandomColour();
  void LoadSlots(int formulaIndex);
  void ShowPreview(Complex c);
  void ReadEntry(int index);

  Window* window_;
  ExplorerState state_;
};

}  // namespace tesvo
