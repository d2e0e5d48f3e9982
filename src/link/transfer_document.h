// What a transfer needs of the code document: the parse of the editor's
// text, the transmission image built from it, and the editor's length for
// the progress dialog. The 3B code subsystem provides it.
#pragma once

#include "code3b/code_image.h"

namespace tramsel {

class TransferDocument {
 public:
  virtual ~TransferDocument() = default;
  // Parses the editor's text; on failure it has shown its own message and
  // selected the faulty line.
  virtual bool ParseCodeDocument() = 0;
  // Builds the image of the last successful parse with blocks cut for this
  // packet capacity; on failure it has shown its own message.
  virtual bool BuildCodeImage(int packetCapacity) = 0;
  // The image last built; unchanged while a transfer runs.
  virtual const CodeImage& Image() const = 0;
  // Length of the editor's text in characters.
  virtual int EditorTextLength() const = 0;
};

}  // namespace tramsel
