#include "ConfigurationExchange.h"

#include "NumberText.h"

#include <cmath>
#include <cstring>

namespace config {

float floatAt(const std::vector<uint8_t> &image, uint32_t address)
{
    float v;
    std::memcpy(&v, image.data() + address, sizeof v);
    return v;
}

float gravityFromImage(const std::vector<uint8_t> &image)
{
    if (image[memmap::kSpecificGravity] == 0xFF && image[memmap::kSpecificGravity + 1] == 0xFF)
        return 0;
    return floatAt(image, memmap::kSpecificGravity);
}

bool gravityInRange(float gravity)
{
    return gravity >= kMinSpecificGravity && gravity <= kMaxSpecificGravity;
}

QString gravityText(float gravity)
{
    return formatNumber(static_cast<float>(static_cast<double>(gravity) + 0.001), 0);
}

void setNominalRange(ConfigurationRecord &record, float range)
{
    record.nominalRange = range;
    record.limitLowerBound = static_cast<float>(-0.1 * static_cast<double>(range));
    record.limitUpperBound = range;
}

void readConfiguration(TFix64 &link, ConfigurationRecord &record, const ReadHooks &hooks)
{
    auto &image = record.memoryImage;
    inBracket(link, [&] {
        link.readMemory(memmap::kNominalRange, image.data() + memmap::kNominalRange,
                        memmap::kRangeAndGravityBlockSize);
        link.readMemory(memmap::kOutputBlock, image.data() + memmap::kOutputBlock, memmap::kOutputBlockSize);

        float gravity = gravityFromImage(image);
        if (!gravityInRange(gravity)) {
            if (hooks.gravityOutOfRange)
                hooks.gravityOutOfRange(gravity);
            gravity = kDefaultSpecificGravity;
        }
        record.specificGravity = gravity;
        record.referenceSpecificGravity = gravity;
        if (hooks.gravityRead)
            hooks.gravityRead();

        setNominalRange(record, floatAt(image, memmap::kNominalRange));
        if (hooks.nominalRangeRead)
            hooks.nominalRangeRead();

        // Each field once more on its own, so a window sees them arrive one by one.
        uint32_t address = memmap::kOutputBlock;
        for (int output = 0; output < memmap::kOutputCount; ++output) {
            for (int index : {2 * output, 2 * output + 1}) {
                uint8_t bytes[memmap::kFloatSize];
                link.readMemory(address, bytes, memmap::kFloatSize);
                std::memcpy(&record.limitValue(index), bytes, memmap::kFloatSize);
                address += memmap::kFloatSize;
                if (hooks.limitValueRead)
                    hooks.limitValueRead(index);
            }
            uint8_t mode = 0;
            link.readMemory(address, &mode, 1);
            address += 1;
            if (hooks.modeRead)
                hooks.modeRead(output, mode <= ModeErrorValue ? int(mode) : kNoMode);
        }
    });
}

int firstOutputOutOfOrder(const ConfigurationRecord &record)
{
    for (int output = 0; output < memmap::kOutputCount; ++output)
        if (record.lowerValue(output) > record.higherValue(output))
            return output;
    return -1;
}

uint8_t modeByte(int mode)
{
    return mode >= ModeOff && mode <= ModeErrorValue ? static_cast<uint8_t>(mode) : kNoModeByte;
}

void assembleOutputBlock(ConfigurationRecord &record, const std::array<int, 3> &modes)
{
    uint8_t *p = record.memoryImage.data() + memmap::kOutputBlock;
    for (int output = 0; output < memmap::kOutputCount; ++output) {
        std::memcpy(p, &record.lowerValue(output), memmap::kFloatSize);
        p += memmap::kFloatSize;
        std::memcpy(p, &record.higherValue(output), memmap::kFloatSize);
        p += memmap::kFloatSize;
        *p++ = modeByte(modes[static_cast<std::size_t>(output)]);
    }
}

void writeConfiguration(TFix64 &link, ConfigurationRecord &record, const QString &gravityText,
                        const std::array<int, 3> &modes, const std::function<void(uint32_t address)> &acknowledged)
{
    inBracket(link, [&] {
        const std::optional<float> gravity = strictToFloat(gravityText);
        if (!gravity)
            throw ConfigError(QStringLiteral("'%1' is not a valid floating point value").arg(gravityText).toStdString());
        link.writeMemory(memmap::kSpecificGravity, &*gravity, memmap::kFloatSize);
        if (acknowledged)
            acknowledged(memmap::kSpecificGravity);
        assembleOutputBlock(record, modes);
        link.writeMemory(memmap::kOutputBlock, record.memoryImage.data() + memmap::kOutputBlock,
                         memmap::kOutputBlockSize);
        if (acknowledged)
            acknowledged(memmap::kOutputBlock);
    });
}

} // namespace config
