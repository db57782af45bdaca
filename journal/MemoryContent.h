// What a record says the transmitter held or was sent: pieces of its memory
// by address, byte for byte, so a restore gives back exactly those bytes.
// Kept in the journal as text ("894:00007a44 67:...") so it reads in any SQL
// client and travels the same way through SQLite and PostgreSQL.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace journal {

struct MemoryContent {
    std::map<uint32_t, QByteArray> regions; // address -> bytes

    bool empty() const { return regions.empty(); }
    bool has(uint32_t address, int size) const;
    // Takes `size` bytes at `address` from a memory image indexed by address.
    void take(const std::vector<uint8_t> &image, uint32_t address, uint32_t size);
    void put(uint32_t address, const void *bytes, uint32_t size);

    QString toText() const;
    // Nothing for a text that is not a well-formed list of regions within 64 KiB.
    static std::optional<MemoryContent> fromText(const QString &text);

    // The configuration's fields (gravity, outputs, zero offset) as "name value" texts.
    QStringList describe() const;
    // The fields whose bytes differ from `other`'s, by name.
    QStringList differingFields(const MemoryContent &other) const;
    // Each field both hold with other bytes in `other`: "name old -> new".
    QStringList changesTo(const MemoryContent &other) const;

    bool operator==(const MemoryContent &) const = default;
};

// The configuration a write sends: the gravity (4 bytes at 894) and the output block (27 at 67).
MemoryContent configurationContent(const std::vector<uint8_t> &image);

} // namespace journal
