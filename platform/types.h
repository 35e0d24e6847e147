// Vocabulary shared by the core and every platform service: UTF-16 text,
// Windows error codes and the result of a platform call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvel {

// All texts of the program are UTF-16, as on Windows; positions count code units.
using Str = std::u16string;
using StrView = std::u16string_view;

// Windows error codes that both backends report with the same meaning.
namespace err {
constexpr uint32_t kSuccess = 0;
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kPathNotFound = 3;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kInvalidHandle = 6;
constexpr uint32_t kNoMoreFiles = 18;
constexpr uint32_t kSharingViolation = 32;
constexpr uint32_t kFileExists = 80;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kInsufficientBuffer = 122;
constexpr uint32_t kInvalidName = 123;
constexpr uint32_t kDirNotEmpty = 145;
constexpr uint32_t kAlreadyExists = 183;
constexpr uint32_t kMoreData = 234;
constexpr uint32_t kNoMoreItems = 259;
constexpr uint32_t kNoToken = 1008;
constexpr uint32_t kKeyDeleted = 1018;
constexpr uint32_t kBadPathname = 161;
}  // namespace err

// Outcome of a platform call: 0 on success, else the Windows error code
// that the program reports, with the system call that failed and that
// call's own code (GetLastError on Windows, errno on the emulated machine),
// for whoever looks into a failure.
struct [[nodiscard]] Result {
  uint32_t error = err::kSuccess;
  const char* call = nullptr;  // a static name, or null where no call failed (a refusal of our own)
  int32_t native = 0;
  constexpr bool ok() const { return error == err::kSuccess; }
  constexpr explicit operator bool() const { return ok(); }
  static constexpr Result success() { return {}; }
  static constexpr Result failure(uint32_t code, const char* call = nullptr, int32_t native = 0) {
    return {code, call, native};
  }
};

// "error 5 (CreateFileW: 5)": a result for a log or a test's message.
std::string describe(const Result& result);

// A platform call's value, or the failed Result that says why there is none.
template <class T>
class [[nodiscard]] Outcome {
 public:
  Outcome(T value) : value_(std::move(value)) {}
  Outcome(Result failure) : result_(failure) {}
  bool has_value() const { return value_.has_value(); }
  explicit operator bool() const { return has_value(); }
  const T& value() const { return value_.value(); }  // throws std::bad_optional_access without one
  const T& operator*() const { return *value_; }
  T value_or(T fallback) const { return value_.value_or(std::move(fallback)); }
  const Result& result() const { return result_; }

 private:
  std::optional<T> value_;
  Result result_;
};

// UTF-8 <-> UTF-16. Invalid input becomes U+FFFD; never throws.
Str fromUtf8(std::string_view s);
std::string toUtf8(StrView s);

// The byte-order marks that text files may begin with.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
inline constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
inline constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// UTF-16 text as bytes in either order, without a byte-order mark, and back;
// an odd last byte is dropped.
enum class ByteOrder { LittleEndian, BigEndian };
Str fromUtf16Bytes(std::string_view bytes, ByteOrder order);
std::string toUtf16Bytes(StrView text, ByteOrder order);

}  // namespace orvel
