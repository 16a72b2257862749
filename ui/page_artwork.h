#pragma once
// The splash page's background artwork, decoded from the executable's PNG
// resource. Decoding starts GDI+ and loads the system's image codecs, which
// takes longer than making the window itself; started early, it runs on a
// thread of its own while the window is made.
#include <memory>

namespace Gdiplus {
class Bitmap;
}  // namespace Gdiplus

// Starts GDI+ (once per process; it is never shut down, so images handed
// around stay valid until exit).
void StartGdiplusOnce();

// Begins decoding the background on a thread of its own. Once per process.
void PreparePageArtwork();

// The decoded background, in the format the page draws fastest: waits for
// the decoding begun by PreparePageArtwork, or decodes here when none was
// begun. Null when the resource cannot be read. Each call after the first
// decodes afresh.
std::unique_ptr<Gdiplus::Bitmap> TakePageBackground();
