#pragma once
// A NIfTI image's header read from its file, .nii or .nii.gz: only the first
// bytes are read (and inflated), never the image data.

#include <optional>
#include <string>

#include "design/nifti_header.h"

namespace console {

// Nothing, with `error` naming the file, when it cannot be read, is not a
// NIfTI-1 or NIfTI-2 image, is cut short, or has fewer than 4 dimensions.
std::optional<stimloom::NiftiHeader> readNiftiHeader(const std::string& path, std::string& error);

}  // namespace console
