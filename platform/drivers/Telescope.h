#pragma once

#include <QString>

namespace zelmora::drivers {

// A telescope driver as the program drives it. Members fail by throwing
// AppError (number and description).
class Telescope {
public:
    virtual ~Telescope() = default;
    virtual bool connected() const = 0;
    virtual void setConnected(bool value) = 0;
};

}  // namespace zelmora::drivers
