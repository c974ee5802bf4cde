// The picture's reads, reloads and changes, and the scans that may read it as rows.
#include "core/session/loaded_picture.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/base/colour_label.h"
#include "core/base/error.h"
#include "core/outline/drawing_file.h"
#include "core/picture/picture_reader.h"
#include "core/scan/scan_support.h"

namespace qv {

bool LoadedPicture::Load(const std::string& path) {
  if (mAdopted && path == mSource) {
    // Pixels from memory are "read again" from there, and only when they could have changed.
    if (mChanged) {
      ++mRevision;
      mGrid = PixelGrid();  // the pixels are the adopted ones again, not a copy
      mChanged = false;
      mHiddenBut.reset();
      mHiddenDrawing.reset();
    }
    mFresh = true;
    return true;
  }
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) return false;
  const FileStamp stamp = StampOf(path);
  const bool sameFile = mSource == path;
  const bool drawing = IsDrawingFile(path);
  const bool sameCells = !drawing || (mDrawing && mDrawingCellSize == mCellSize);
  if (sameFile && sameCells && drawing && Present() && stamp.size >= 0 && stamp == mStamp) {
    // The drawing as read: its cells again, without reading or laying it out anew.
    if (mChanged) {
      ++mRevision;
      mGrid = PixelGrid();  // the drawing's cells again, not a copy
      mChanged = false;
      mHiddenBut.reset();
      mHiddenDrawing.reset();
    }
    mFresh = true;
    return true;
  }
  if (sameFile && sameCells && !mChanged && Present() && stamp.size >= 0 && stamp == mStamp) {
    // Reading it again would give these very pixels.
    mFresh = true;
    return true;
  }
  // Counted before the read: a read that fails half-way has changed the pixels too.
  ++mRevision;
  bool pixelsTouched = false;
  try {
    std::unique_ptr<PixelRows> rows;
    if (mStreaming && !drawing) rows = OpenPictureRows(path);
    if (drawing) {
      // Read and laid out whole before anything changes: a drawing that cannot be read leaves
      // the picture as it was.
      auto picture =
          std::make_shared<DrawingPicture>(PictureOfDrawing(ReadDrawingFile(path), mCellSize));
      mGrid = PixelGrid();  // the cells are shown from the drawing until drawn on
      mDrawing = std::move(picture);
      mDrawingCellSize = mCellSize;
      mRows.reset();
      mSource = path;
      mAdopted.reset();
    } else if (rows) {
      mRows = std::move(rows);
      mGrid = PixelGrid();
      mSource = path;
      mAdopted.reset();
    } else if (sameFile) {
      // Wiping drawings: the same file again, into the same memory (no second picture, no fresh
      // pages). Should the file have become unreadable, the picture is gone: it was drawn over.
      pixelsTouched = true;
      mGrid = ReadPicture(path, std::move(mGrid));
      mRows.reset();
    } else {
      // Another file: the old picture stays until the new one is read whole.
      PixelGrid fresh = ReadPicture(path);
      mGrid = std::move(fresh);
      mRows.reset();
      mSource = path;
      mAdopted.reset();
    }
    if (!drawing) mDrawing.reset();
    mGatheredMoments.reset();
    mGatheredRuns.reset();
    mSmoothingScan.reset();
  } catch (const Error&) {
    // Another file that cannot be read leaves the pixels as they were, still those of their own
    // file. A failed read of the same file into its own memory has spoilt them: only reading
    // the file again may bring them back.
    if (pixelsTouched) {
      mFresh = false;
      mChanged = true;
    }
    throw;
  }
  mStamp = stamp;
  mChanged = false;
  mFresh = true;
  mHiddenBut.reset();
  mHiddenDrawing.reset();
  return true;
}

void LoadedPicture::Adopt(std::shared_ptr<const PixelGrid> pixels, const std::string& name) {
  // Shared, not copied: a copy is made only when something is drawn on them (OwnGrid).
  ++mRevision;
  mGrid = PixelGrid();
  mRows.reset();
  mAdopted = std::move(pixels);
  mDrawing.reset();
  mSource = name;
  mStamp = FileStamp{};
  mGatheredMoments.reset();
  mGatheredRuns.reset();
  mSmoothingScan.reset();
  mChanged = false;
  mFresh = true;
  mHiddenBut.reset();
  mHiddenDrawing.reset();
}

PixelGrid& LoadedPicture::OwnGrid() {
  if (mGrid.Empty() && mAdopted) mGrid = *mAdopted;
  if (mGrid.Empty() && Drawing()) mGrid = Drawing()->grid;
  return mGrid;
}

void LoadedPicture::ReadIntoMemory() {
  if (!mRows) return;
  const FileStamp stamp = StampOf(mSource);
  mGrid = ReadPicture(mSource);
  ++mRevision;
  mRows.reset();
  mStamp = stamp;
}

EdgeSmoothing LoadedPicture::FindSmoothing() {
  if (mRows && mSmoothingScan) {
    EdgeSmoothingScan scan = std::move(*mSmoothingScan);
    mSmoothingScan.reset();
    return scan.Result(*mRows);
  }
  if (mRows) return FindEdgeSmoothing(*mRows);
  return FindEdgeSmoothing(Grid());
}

void LoadedPicture::DrawOn(const std::function<void(PixelGrid&)>& draw) {
  if (!Present()) return;
  ReadIntoMemory();
  // Copied before anything changes, so that a copy that finds no memory leaves all as it was.
  PixelGrid& grid = OwnGrid();
  mFresh = false;
  mChanged = true;
  ++mRevision;
  draw(grid);
}

void LoadedPicture::HideColoursBut(const std::string& label, const ProgressFn& progress) {
  if (!Present()) return;
  if (mDrawing) {
    // A drawing's edge cells hold shares of several colours: the one kept keeps its shares.
    mHiddenDrawing =
        std::make_shared<const DrawingPicture>(KeepingOnly(*mDrawing, PixelColourOfLabel(label)));
    mGrid = PixelGrid();
    mChanged = true;
    ++mRevision;
    mHiddenBut = label;
    return;
  }
  ReadIntoMemory();
  PixelGrid& grid = OwnGrid();
  // Deliberately still "fresh": an analysis right after it sees only the colour kept, which is
  // what the user asked for; F3 or any reload brings the others back.
  mChanged = true;
  ++mRevision;
  const std::optional<std::uint32_t> keep = PixelColourOfLabel(label);
  mHiddenBut = label;
  const int w = grid.Width();
  const int h = grid.Height();
  const auto total = static_cast<std::int64_t>(grid.Size());
  for (int y = 0; y < h; ++y) {
    std::uint32_t* row = grid.Row(y);
    for (int x = 0; x < w; ++x) {
      if (!keep || row[x] != *keep) row[x] = 0x00FFFFFF;
    }
    if (progress && (y & 63) == 63) progress(static_cast<std::int64_t>(y + 1) * w, total);
  }
}

std::vector<ColourBounds> LoadedPicture::ScanColours(const TPROPClass* library,
                                                     bool ignoreDollarColours,
                                                     const ProgressFn& progress, int threads,
                                                     LeftOutColours* unnamedLeftOut) {
  mGatheredMoments.reset();
  mGatheredRuns.reset();
  mSmoothingScan.reset();
  // A drawing lists its own colours: every one was drawn on purpose, named or not, and the
  // cells on its edges stand for shares, not for colours of their own.
  if (Drawing()) return DrawingColours(*Drawing());
  if (mRows) {
    try {
      std::optional<std::vector<ColourBounds>> found =
          ScanRows(library, ignoreDollarColours, progress, threads, unnamedLeftOut);
      if (found) return std::move(*found);
    } catch (const Error&) {
      // Damaged pixels or a file that went away: the listing is incomplete, and an analysis
      // must read the file again.
      mSmoothingScan.reset();
      mFresh = false;
      mChanged = true;
      throw;
    }
  }
  return ScanColourBounds(Grid(), ignoreDollarColours, progress, threads, unnamedLeftOut);
}

std::optional<std::vector<ColourBounds>> LoadedPicture::ScanRows(const TPROPClass* library,
                                                                 bool ignoreDollarColours,
                                                                 const ProgressFn& progress,
                                                                 int threads,
                                                                 LeftOutColours* unnamedLeftOut) {
  std::optional<MomentsTally> tally;
  RowTap tap;
  if (library != nullptr) {
    std::vector<MaterialMoments> materials = MaterialsOfColours(*library);
    for (const std::string& label : mGatherAlso) {
      const std::optional<std::uint32_t> colour = PixelColourOfLabel(label);
      if (!colour || std::any_of(materials.begin(), materials.end(),
                                 [&](const MaterialMoments& m) { return m.colour == *colour; })) {
        continue;
      }
      MaterialMoments extra;
      extra.colour = *colour;
      materials.push_back(extra);
    }
    tally.emplace(std::move(materials), BandWorkers(mRows->Height(), threads));
    if (mRunsAlong) tally->KeepRuns(kKeptRunsLimit);
  }
  // Rows that come in order reach the tap in order, one block after the other on one worker.
  if (mSmoothingAlong && mRows->InOrder()) mSmoothingScan.emplace(mRows->Width(), mRows->Height());
  std::optional<PictureColoursScan> colours;
  if (mColoursAlong) {
    colours.emplace(mRows->Width(), mRows->Height(), BandWorkers(mRows->Height(), threads));
  }
  if (tally || mSmoothingScan || colours) {
    tap = [&tally, &colours, this](int worker, const RowBlock& rows) {
      if (tally) tally->Add(worker, rows);
      if (mSmoothingScan) mSmoothingScan->Feed(rows);
      if (colours) colours->Feed(worker, rows);
    };
  }
  std::optional<std::vector<ColourBounds>> found =
      ScanColourBounds(*mRows, ignoreDollarColours, progress, threads, tap, unnamedLeftOut);
  if (!found) {
    // Millions of colours: their order needs the whole picture, which the caller scans then.
    mSmoothingScan.reset();
    ReadIntoMemory();
    return std::nullopt;
  }
  if (tally) {
    mGatheredMoments = tally->Result();
    mGatheredRuns = tally->Runs();
  }
  if (colours) {
    mColours = colours->Result();
    mColoursRevision = mRevision;
  }
  return found;
}

SectionMoments LoadedPicture::Moments(const TPROPClass& library, const ProgressFn& progress,
                                      int threads) {
  if (Drawing()) {
    const std::int64_t pixels = std::int64_t{Width()} * Height();
    SectionMoments moments = DrawingMoments(*Drawing(), MaterialsInUse(library));
    if (progress) progress(pixels, pixels);
    return moments;
  }
  std::optional<SectionMoments> gathered;
  if (mRows && mGatheredMoments) gathered = MomentsInUseFrom(*mGatheredMoments, library);
  if (gathered) {
    const std::int64_t pixels = std::int64_t{Width()} * Height();
    if (progress) progress(pixels, pixels);
    return std::move(*gathered);
  }
  if (mRows) return ScanMoments(*mRows, library, progress, threads);
  return ScanMoments(Grid(), library, progress, threads);
}

const std::optional<PictureColours>& LoadedPicture::Colours(const ProgressFn& progress,
                                                            int threads) {
  if (mColoursRevision != mRevision) {
    mColours.reset();
    mColoursRevision.reset();
    if (mRows) {
      mColours = ScanPictureColours(*mRows, progress, threads);
    } else {
      mColours = ScanPictureColours(Grid(), progress, threads);
    }
    mColoursRevision = mRevision;
  }
  return mColours;
}

}  // namespace qv
