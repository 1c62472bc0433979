#pragma once

#include <cstdint>
#include <exception>

namespace kv {

// Error numbers a step can raise. The port raises the four 80xx numbers; 13 comes from
// turning a non-digit into a port number.
namespace err {
constexpr std::int32_t TypeMismatch = 13;
constexpr std::int32_t InvalidPort = 8002;
constexpr std::int32_t PortInUse = 8005;
constexpr std::int32_t DeviceNotOpen = 8012;
constexpr std::int32_t PortNotOpen = 8018;
} // namespace err

// A numbered run-time error. Thrown by port operations and caught only by the error trap.
class RunTimeError : public std::exception {
  public:
    explicit RunTimeError(std::int32_t number) : number_(number) {}
    std::int32_t number() const { return number_; }
    const char* what() const noexcept override { return "run-time error"; }

  private:
    std::int32_t number_;
};

[[noreturn]] inline void raise(std::int32_t number) {
    throw RunTimeError(number);
}

} // namespace kv
