#pragma once

#include "link/DeviceLink.h"
#include "ui/CommandContext.h"
#include "ui/LinkCallRunner.h"

#include <QString>
#include <QVariant>
#include <optional>

// What the configuration commands share: the address readings and the call through the runner.
namespace ConfigSupport {

// The refusal for an address text that is out of range or does not convert.
void refuseAddress(OperatorInterface &op);

// TxtAddress converted to a 16-bit integer, with no range check. A text that does not convert is
// refused with the address message (empty result, nothing may be sent).
std::optional<qint16> addressWord(const CommandContext &ctx);

// TxtAddress checked to lie in 0..255, refused with the address message otherwise.
std::optional<qint16> checkedAddress(const CommandContext &ctx);

// The TxtAddress text as typed, for the operations that take the address as text.
QString addressText(const CommandContext &ctx);

// Runs one device-link call through the runner and returns its result.
template <class Call>
QVariant call(const CommandContext &ctx, Call &&linkCall)
{
    QVariant result;
    ctx.runner.run([&] { result = linkCall(ctx.link); });
    return result;
}

}  // namespace ConfigSupport
