#pragma once

#include <string>
#include <string_view>

namespace malvorn::encoding {

// One iconv conversion descriptor, opened for one direction and closed with
// the object. Conversions restart from the initial shift state every call.
class IconvHandle {
  public:
    IconvHandle(const char* toCode, const char* fromCode);
    ~IconvHandle();
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    // Converts `input`; each input sequence that cannot be converted (not
    // representable, malformed or truncated) is skipped by `badLength(rest)`
    // bytes and `replacement` is written in its place.
    std::string convert(std::string_view input, std::string_view replacement,
                        std::size_t (*badLength)(std::string_view rest));

  private:
    void* handle_;
};

}  // namespace malvorn::encoding
