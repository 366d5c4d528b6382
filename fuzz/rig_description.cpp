// Rig descriptions (LENTRASDK_SIM files, lxsim_load_description): any bytes give a rig or one
// error message, and the message is one printable line of bounded length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "description/json_reader.h"
#include "description/rig_description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const lentra::RigParseResult parsed = lentra::parseRigDescription(text);
    if (parsed.rig.has_value() == !parsed.error.empty()) std::abort();  // one or the other
    if (parsed.error.size() > lentra::kMaxDescriptionErrorBytes) std::abort();
    for (char c : parsed.error)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
    if (lentra::printableText(parsed.error, lentra::kMaxDescriptionErrorBytes) != parsed.error)
        std::abort();  // not valid UTF-8
    return 0;
}
