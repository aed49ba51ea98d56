#include "keycombination.h"

#include "platform/virtualkeys.h"

#include <QStringList>

namespace {

// Capture-mask bits.
constexpr int kCaptureCtrl = 1;
constexpr int kCaptureAlt = 2;
constexpr int kCaptureShift = 4;
constexpr int kCaptureWin = 8;

const QString &noneText() {
    static const QString text = QString::fromUtf16(kNoKeyCombination);
    return text;
}

} // namespace

KeyCombination parseKeyCombination(const QString &text) {
    KeyCombination result;
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return result;
    bool ok = false;
    const int vk = parts.at(0).toInt(&ok, 10);
    if (!ok)
        return result;
    result.vk = vk;
    result.valid = true;
    if (parts.size() > 1)
        result.mask = parts.at(1).toInt(nullptr, 10); // 0 when unreadable
    return result;
}

QString keyCombinationText(int vk, int storedMask) {
    return QStringLiteral("%1,%2").arg(vk).arg(storedMask);
}

QString keyName(unsigned vk) {
    switch (vk) {
    case 8:
        return QStringLiteral("Backspace");
    case 9:
        return QStringLiteral("Tab");
    case 13:
        return QStringLiteral("Enter");
    case 16:
    case 160:
    case 161:
        return QStringLiteral("Shift");
    case 17:
    case 162:
    case 163:
        return QStringLiteral("Ctrl");
    case 18:
    case 164:
    case 165:
        return QStringLiteral("Alt");
    case 27:
        return QStringLiteral("Esc");
    case 32:
        return QStringLiteral("Space");
    case 33:
        return QStringLiteral("PageUp");
    case 34:
        return QStringLiteral("PageDown");
    case 35:
        return QStringLiteral("End");
    case 36:
        return QStringLiteral("Home");
    case 37:
        return QStringLiteral("Left");
    case 38:
        return QStringLiteral("Up");
    case 39:
        return QStringLiteral("Right");
    case 40:
        return QStringLiteral("Down");
    case 45:
        return QStringLiteral("Insert");
    case 46:
        return QStringLiteral("Delete");
    case 91:
    case 92:
        return QStringLiteral("Win");
    case 93:
        return QStringLiteral("Menu");
    default:
        break;
    }
    // Digits and capital letters have the character's own code.
    if ((vk >= 48 && vk <= 57) || (vk >= 65 && vk <= 90))
        return QString(QChar(static_cast<char16_t>(vk)));
    if (vk >= 112 && vk <= 135)
        return QStringLiteral("F%1").arg(vk - 111);
    return QStringLiteral("VK%1").arg(vk);
}

QString keyCombinationDisplayText(const QString &text, InvalidKeyText invalid) {
    if (text.isEmpty() || text == noneText())
        return noneText();
    const KeyCombination combination = parseKeyCombination(text);
    if (!combination.valid)
        return invalid == InvalidKeyText::InvalidKey ? QStringLiteral("無効なキー") : text;

    QStringList names;
    if (combination.mask & storedmask::Ctrl)
        names << QStringLiteral("Ctrl");
    if (combination.mask & storedmask::Alt)
        names << QStringLiteral("Alt");
    if (combination.mask & storedmask::Shift)
        names << QStringLiteral("Shift");
    if (combination.mask & storedmask::Win)
        names << QStringLiteral("Win");
    // A modifier held with modifiers is already named by them.
    if (!(isModifierKey(combination.vk) && !names.isEmpty()))
        names << keyName(static_cast<unsigned>(combination.vk));
    return names.join(QLatin1Char('+'));
}

bool isModifierKey(int vk) {
    return modifierBit(vk) != 0;
}

int modifierBit(int vk) {
    switch (vk) {
    case vk::Shift:
    case 160:
    case 161:
        return kCaptureShift;
    case vk::Control:
    case 162:
    case 163:
        return kCaptureCtrl;
    case vk::Menu:
    case 164:
    case 165:
        return kCaptureAlt;
    case vk::LWin:
    case vk::RWin:
        return kCaptureWin;
    default:
        return 0;
    }
}

int toStoredMask(int captureMask) {
    int stored = 0;
    if (captureMask & kCaptureCtrl)
        stored |= storedmask::Ctrl;
    if (captureMask & kCaptureAlt)
        stored |= storedmask::Alt;
    if (captureMask & kCaptureShift)
        stored |= storedmask::Shift;
    if (captureMask & kCaptureWin)
        stored |= storedmask::Win;
    return stored;
}

bool isKeyboardKey(int vk) {
    if (vk < 1 || vk > 254)
        return false;
    // Mouse buttons, and the codes Windows leaves unassigned or reserved (or
    // gives to gamepads and the IME's internal use): no key sends them.
    static constexpr int kNotKeys[][2] = {
        {0x01, 0x02}, {0x04, 0x07}, {0x0A, 0x0B}, {0x0E, 0x0F}, {0x3A, 0x40},
        {0x5E, 0x5E}, {0x88, 0x8F}, {0x97, 0x9F}, {0xB8, 0xB9}, {0xC1, 0xDA},
        {0xE0, 0xE0}, {0xE5, 0xE5}, {0xE7, 0xE8},
    };
    for (const auto &range : kNotKeys) {
        if (vk >= range[0] && vk <= range[1])
            return false;
    }
    return true;
}

bool namesKeyboardKey(const QString &combination) {
    const KeyCombination parsed = parseKeyCombination(combination);
    return parsed.valid && isKeyboardKey(parsed.vk);
}
