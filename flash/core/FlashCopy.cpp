#include "flash/core/FlashCopy.h"

#include "BuildConfig.h"
#include "base/ExecutableImage.h"

namespace kelvo {

namespace {

using kelvo::ImageVerdict;

std::u16string Hex(std::uint32_t code) {
    std::u16string text = u"0x00000000";
    for (std::size_t i = 0; i < 8; ++i)
        text[9 - i] = u"0123456789ABCDEF"[(code >> (4 * i)) & 0xF];
    return text;
}

std::u16string_view BuildName(std::uint16_t machine) noexcept {
    switch (machine) {
    case kelvo::kMachineI386:
        return u"32-bit (x86)";
    case kelvo::kMachineAmd64:
        return u"64-bit (x64)";
    default:
        return u"ARM64";
    }
}

} // namespace

FlashCopyFault CheckFlashCopyImage(std::span<const std::byte> head, std::uint64_t fileSize,
                                   std::uint16_t machine) noexcept {
    switch (kelvo::CheckExecutableImage(head, fileSize, machine, kelvo::ImageKind::Library)) {
    case ImageVerdict::Runnable:
        return FlashCopyFault::None;
    case ImageVerdict::WrongMachine:
        return FlashCopyFault::OtherArchitecture;
    default:
        return FlashCopyFault::NotALibrary;
    }
}

std::u16string_view BuiltInFlashCopyPin() noexcept {
    return KELVO_FLASH_COPY_SHA256;
}

bool MatchesFlashCopyPin(std::u16string_view pin, std::span<const std::byte, 32> digest) noexcept {
    if (pin.empty())
        return true;
    if (pin.size() != digest.size() * 2)
        return false;
    const auto nibble = [](char16_t c) -> int {
        if (c >= u'0' && c <= u'9')
            return c - u'0';
        if (c >= u'a' && c <= u'f')
            return c - u'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c - u'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = nibble(pin[2 * i]);
        const int low = nibble(pin[2 * i + 1]);
        if (high < 0 || low < 0 || ((high << 4) | low) != std::to_integer<int>(digest[i]))
            return false;
    }
    return true;
}

FlashControlSource ChooseFlashControl(FlashCopyFault copy, bool registeredCreated) noexcept {
    if (copy == FlashCopyFault::None)
        return FlashControlSource::OwnCopy;
    return registeredCreated ? FlashControlSource::Registered : FlashControlSource::Notice;
}

std::u16string FlashCopyNote(FlashCopyFault fault, std::u16string_view path, std::uint32_t code,
                             std::uint16_t machine) {
    std::u16string reason;
    switch (fault) {
    case FlashCopyFault::Absent:
        return {};
    case FlashCopyFault::None:
        return u"Flash control: using " + std::u16string(path) + u"\n";
    case FlashCopyFault::Unreadable:
        reason = u"it cannot be read";
        break;
    case FlashCopyFault::NotALibrary:
        reason = u"it is not a DLL";
        break;
    case FlashCopyFault::OtherArchitecture:
        reason = u"it is not a " + std::u16string(BuildName(machine)) + u" DLL, as this launcher needs";
        break;
    case FlashCopyFault::NotPublishers:
        reason = u"not the publisher's copy";
        break;
    case FlashCopyFault::NotLoaded:
        reason = u"Windows does not load it";
        break;
    case FlashCopyFault::NoClassFactory:
        reason = u"it has no DllGetClassObject export";
        break;
    case FlashCopyFault::ClassRefused:
        reason = u"its class factory does not make the Flash control";
        break;
    case FlashCopyFault::NotPlaced:
        reason = u"its control cannot be placed in the game window";
        break;
    }
    if (code != 0)
        reason += u" (" + Hex(code) + u")";
    return u"Flash control: not using " + std::u16string(path) + u": " + reason + u"\n";
}

} // namespace kelvo
