// The session's picture from its file to its pixels: read whole or kept as the file and streamed
// as rows, read again only when that can change the pixels, drawn over, hidden but one colour.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/library/dd_props.h"
#include "core/outline/drawing_picture.h"
#include "core/picture/pixel_grid.h"
#include "core/picture/pixel_rows.h"
#include "core/scan/coverage.h"
#include "core/scan/edge_smoothing.h"
#include "core/scan/inventory.h"
#include "core/scan/moments.h"

namespace qv {

/// One picture file's pixels and what has happened to them since they were read. The pixels are
/// in memory (Grid), or, while streaming, kept as the file and read a few rows at a time by each
/// scan; the commands that need every pixel at once read them into memory first.
class LoadedPicture {
 public:
  /// The pixels in memory, possibly drawn over (see Fresh). Empty while the picture is kept as
  /// its file.
  const PixelGrid& Grid() const {
    if (mGrid.Empty() && mAdopted) return *mAdopted;
    if (mGrid.Empty() && Drawing()) return Drawing()->grid;
    return mGrid;
  }
  /// The size in pixels, also while the picture is kept as its file; 0 without a picture.
  int Width() const { return mRows ? mRows->Width() : Grid().Width(); }
  int Height() const { return mRows ? mRows->Height() : Grid().Height(); }
  /// A picture was read (kept as its file or in memory); it may be one an unreadable file left.
  bool Present() const { return mRows != nullptr || !Grid().Empty(); }
  /// Changes whenever the pixels may have changed (read, drawn on, colours hidden).
  std::uint64_t Revision() const { return mRevision; }
  /// The pixels equal the file last loaded: nothing has been drawn on them since it was read.
  bool Fresh() const { return mFresh; }
  /// The file the pixels were read from ("" before the first read), or the name of pixels taken
  /// from memory (Adopt), and the file's stamp at that read (empty for pixels from memory).
  const std::string& Source() const { return mSource; }
  const FileStamp& Stamp() const { return mStamp; }
  /// The drawing the pixels were made from, when the file is a drawing (IsDrawingFile): its
  /// cells' colours are the pixels, read as its exact coverage.
  /// After HideColoursBut, the drawing with the other colours taken off its cells.
  const DrawingPicture* Drawing() const {
    return mHiddenDrawing ? mHiddenDrawing.get() : mDrawing.get();
  }
  /// The cell size in mm a drawing is read at, from its next load on; 0: the size that gives
  /// about kDefaultOutlineCells cells.
  void SetCellSize(double mm) { mCellSize = mm; }
  /// The label of HideColoursBut since the last read, if any.
  const std::optional<std::string>& HiddenBut() const { return mHiddenBut; }

  /// With this on, a file whose rows can be read a few at a time (an uncompressed BMP file, a PNG
  /// file that is not interlaced) is kept open instead of read into memory
  /// (SectionSession::SetPictureStreaming).
  void SetStreaming(bool on) { mStreaming = on; }
  /// Colours (labels) whose moments a streamed inventory gathers beside the library's.
  void GatherAlso(std::vector<std::string> labels) { mGatherAlso = std::move(labels); }
  /// With this on, an inventory over rows that come in order only (a PNG file kept as the file)
  /// also makes the smoothing check's first pass, so FindSmoothing reads the file again only
  /// for a picture with in-between colours.
  void CheckSmoothingAlong(bool on) { mSmoothingAlong = on; }
  /// With this on, a streamed inventory also gathers the colours as the coverage reading needs
  /// them (Colours), so that reading the edges as coverage reads the file once and holds no
  /// picture either.
  void GatherColoursAlong(bool on) { mColoursAlong = on; }
  /// With this on, a streamed inventory also keeps the runs of the gathered colours
  /// (GatheredRuns), up to kKeptRunsLimit of them.
  void KeepRunsAlong(bool on) { mRunsAlong = on; }
  static constexpr std::size_t kKeptRunsLimit = std::size_t{1} << 22;
  /// The runs of the library's colours and GatherAlso's that the last streamed inventory kept,
  /// while the picture is still kept as that file; null otherwise.
  const std::vector<PixelRun>* GatheredRuns() const {
    return mRows && mGatheredRuns ? &*mGatheredRuns : nullptr;
  }

  /// Reads `path` and marks the picture fresh; a drawing is read and laid on cells of the cell
  /// size (SetCellSize). False (and nothing changes) when `path` is empty
  /// or no file exists there; throws Error with the reader's message when it cannot be read,
  /// leaving the old pixels as they were (no longer fresh when it was their own file, read again
  /// into their memory). A reload of the same file decodes into the
  /// pixels' own memory; when nothing was drawn into them and the file is unchanged since it
  /// was read (same size, times and file), they already are the file's and nothing is decoded.
  bool Load(const std::string& path);
  /// Takes `pixels` as the picture, named `name`, and marks it fresh: no file is read for it,
  /// and the pixels are shared, not copied, until something is drawn on them or colours are
  /// hidden (then a copy takes the change). A Load of `name` afterwards shares `pixels` again
  /// instead of reading a file. Another Load gives the pixels up.
  void Adopt(std::shared_ptr<const PixelGrid> pixels, const std::string& name);
  /// Reads a picture kept as its file into memory; nothing when it is in memory already. Throws
  /// the reader's Error when the file can no longer be read.
  void ReadIntoMemory();
  /// FindEdgeSmoothing of the pixels, also while kept as the file (read twice more then, or
  /// once at most after an inventory that checked along; throws the reader's Error when it can
  /// no longer be read).
  EdgeSmoothing FindSmoothing();
  /// Lets `draw` paint on the pixels (read into memory first); no longer fresh. Nothing without
  /// a picture.
  void DrawOn(const std::function<void(PixelGrid&)>& draw);
  /// Drawings are shown over the pixels, which stay untouched: no longer fresh.
  void NoteDrawnOver() { mFresh = false; }
  /// Paints every pixel that is not of the colour of `label` white (all of them when the label
  /// names no colour), in memory; still fresh. Nothing without a picture.
  void HideColoursBut(const std::string& label, const ProgressFn& progress);

  /// The colours of the picture in discovery order (ScanColourBounds). While streaming, the one
  /// read of the file also gathers the moments of every colour of `library` and GatherAlso for
  /// Moments; millions of colours read the picture into memory first. Throws the reader's Error
  /// when the file's pixels are damaged or gone; the pixels then no longer count as fresh.
  std::vector<ColourBounds> ScanColours(const TPROPClass* library, bool ignoreDollarColours,
                                        const ProgressFn& progress, int threads,
                                        LeftOutColours* unnamedLeftOut);
  /// The moments of the materials in use in `library` (ScanMoments), taken from those the
  /// inventory gathered when it has all of them, else scanned; throws the reader's Error when a
  /// file kept open can no longer be read.
  SectionMoments Moments(const TPROPClass& library, const ProgressFn& progress, int threads);
  /// The colours of the pixels as the coverage reading needs them (ScanPictureColours), also
  /// while kept as the file (gathered by the inventory, else read once more); scanned once and
  /// kept while the pixels stay as they are. Nothing for a picture of too many colours. Throws
  /// the reader's Error when a file kept open can no longer be read.
  const std::optional<PictureColours>& Colours(const ProgressFn& progress, int threads);

 private:
  std::optional<std::vector<ColourBounds>> ScanRows(const TPROPClass* library,
                                                    bool ignoreDollarColours,
                                                    const ProgressFn& progress, int threads,
                                                    LeftOutColours* unnamedLeftOut);

  // The pixels in memory that may be drawn on: read from the file, or a copy of the adopted
  // pixels or the drawing's cells once drawn on; empty while those are shown as they are.
  PixelGrid& OwnGrid();

  PixelGrid mGrid;
  bool mStreaming = false;
  std::unique_ptr<PixelRows> mRows;                // the picture kept as its file, or nullptr
  std::shared_ptr<const PixelGrid> mAdopted;       // the pixels taken from memory, or nullptr
  std::optional<SectionMoments> mGatheredMoments;  // of every library colour, by the inventory
  std::vector<std::string> mGatherAlso;            // colours to gather beside the library's
  bool mRunsAlong = false;
  bool mColoursAlong = false;
  std::optional<std::vector<PixelRun>> mGatheredRuns;  // their runs, when kept
  bool mSmoothingAlong = false;
  std::optional<EdgeSmoothingScan> mSmoothingScan;  // its first pass, made by the inventory
  std::string mSource;                              // the file the pixels were read from
  FileStamp mStamp;                                 // that file as it was when read
  bool mChanged = false;  // pixels were changed since the read (drawings, F2)
  bool mFresh = false;
  std::uint64_t mRevision = 0;
  std::optional<std::string> mHiddenBut;           // HideColoursBut's label since the last read
  std::optional<PictureColours> mColours;          // Colours of the pixels at mColoursRevision
  std::shared_ptr<const DrawingPicture> mDrawing;  // the drawing the pixels show, if any
  std::shared_ptr<const DrawingPicture> mHiddenDrawing;  // it with colours hidden, if any
  double mCellSize = 0;                                  // asked for the next read of a drawing
  double mDrawingCellSize = 0;                           // asked for when mDrawing was read
  std::optional<std::uint64_t> mColoursRevision;
};

}  // namespace qv
