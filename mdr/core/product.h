// The maker's addresses, shown in the 64-bit refusal, the crash window and the web-site command.
#pragma once

namespace mdr {

constexpr wchar_t kMakerWebAddress[] = L"http://www.veltrane.com/mendora/";
constexpr wchar_t kSupportEmail[] = L"support@veltrane.com";

} // namespace mdr
