// The configurator page's files (tools/tam/web), compiled into the binary at build time by
// cmake/EmbedFiles.cmake. They are looked up by name only, so no request can reach the disk.
#ifndef TAM_TOOL_WEBASSETS_H
#define TAM_TOOL_WEBASSETS_H

#include <cstddef>
#include <string>

struct WebAsset {
  const char* name;         // the file's name in the web folder, such as "app.js"
  const char* contentType;  // from its extension
  const unsigned char* data;
  std::size_t size;
};

// The file of this name, or null when there is none.
const WebAsset* findWebAsset(const std::string& name);

#endif  // TAM_TOOL_WEBASSETS_H
