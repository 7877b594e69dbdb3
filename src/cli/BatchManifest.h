#pragma once

#include <optional>
#include <string>
#include <vector>

#include "document/BandManagement.h"
#include "imaging/PhotoBatch.h"

namespace kalvane::cli {

// What a product of a batch asks for, each written under the product's
// folder with a fixed name.
enum class TOutputKind { Swf, Mobile, Pageset, Frames, Amazon, Mp4, Webm, Webp, Gif };

// The manifest's name of an output ("swf", "pageset", ...).
const char* OutputKindName(TOutputKind kind);
std::optional<TOutputKind> OutputKindOf(const std::string& name);
// Where the output goes in the product's folder: a file name, or a folder
// name ending with "/".
std::string OutputPlace(TOutputKind kind, const std::string& id);

// One line of the manifest, checked.
struct TBatchProduct {
  int Line = 0;
  std::string Id;
  // Either photos and folders of photos, in order, or one project; both
  // resolved against the manifest's folder.
  std::vector<std::string> Photos;
  std::string Project;
  // fotomill's settings, when the photos are prepared first.
  std::optional<TPrepSettings> Prepare;
  bool Align = true;
  int QuarterTurns = 0;
  TRelBox Box = kDefaultRelBox;
  bool BoxGiven = false;
  std::string Title;
  std::string Design = "shop/framed";
  std::vector<TOutputKind> Outputs;
  // The line as parsed, the same whatever its spacing or key order: what
  // the fingerprint takes of it.
  std::string Canonical;
};

struct TManifestError {
  int Line = 0;
  int Column = 0;
  std::string Message;
};

struct TManifest {
  std::vector<TBatchProduct> Products;
  std::vector<TManifestError> Errors;
};

// The products of a manifest in JSON Lines, one object a line, blank lines
// allowed. Every error is found (line and column from 1, columns counted
// in characters); with any, the products are not to be run. Relative
// paths are taken from `folder`.
TManifest ParseManifest(const std::string& text, const std::string& folder);

}  // namespace kalvane::cli
