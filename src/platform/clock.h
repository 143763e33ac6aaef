#pragma once

#include <QDateTime>

namespace tavelin::platform {

// Wall-clock time, injectable so that tests can set the hour.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual QDateTime now() const = 0;
};

}  // namespace tavelin::platform
