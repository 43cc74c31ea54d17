// Base64 decoder on arbitrary text: it must refuse or decode within the size
// contract, and whatever it accepts must encode back to the same text.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "setup_compat.h"
#include "setup_hash.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str(); // the decoder reads up to the first NUL
    size_t room = base64_decoded_size(text.c_str());
    // Exactly the room the contract promises, so ASan sees any overrun.
    unsigned char* out = static_cast<unsigned char*>(malloc(room ? room : 1));
    int n = base64_decode(text.c_str(), out);
    if (n >= 0) {
        if (static_cast<size_t>(n) > room)
            abort();
        std::vector<char> again(base64_encoded_size(static_cast<unsigned>(n), -1));
        int m = base64_encode(out, again.data(), static_cast<unsigned>(n), -1);
        // Pad bits may differ from the canonical form; the groups may not.
        if (m != static_cast<int>(text.size()))
            abort();
        unsigned char* back = static_cast<unsigned char*>(malloc(room ? room : 1));
        if (base64_decode(again.data(), back) != n ||
            memcmp(back, out, static_cast<size_t>(n)) != 0)
            abort();
        free(back);
    } else if (n != BASE64_INVALID) {
        abort();
    }
    if (room >= 2) {
        int small = base64_decode_sized(text.c_str(), out, room / 2);
        if (small >= 0 && static_cast<size_t>(small) > room / 2)
            abort();
    }
    free(out);

    // Encoding with folding from a column taken from the input.
    int column = size > 0 ? static_cast<int>(data[0]) - 64 : -1;
    unsigned length = static_cast<unsigned>(size);
    size_t need = base64_encoded_size(length, column);
    char* enc = static_cast<char*>(malloc(need));
    if (base64_encode(data, enc, length, column) != static_cast<int>(need - 1))
        abort();
    free(enc);
    return 0;
}
