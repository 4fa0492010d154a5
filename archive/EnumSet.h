#pragma once
// A set of the members of an enumeration numbered from 0, stored as bits in
// member order (member n is bit n), the layout the SFX header and the
// settings use.

#include <cstdint>
#include <initializer_list>

template <typename Enum>
class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<Enum> members)
    {
        for (Enum m : members)
            insert(m);
    }
    static constexpr EnumSet fromBits(uint32_t bits)
    {
        EnumSet s;
        s.m_bits = bits;
        return s;
    }

    constexpr bool contains(Enum m) const { return (m_bits & bit(m)) != 0; }
    constexpr void insert(Enum m) { m_bits |= bit(m); }
    constexpr void remove(Enum m) { m_bits &= ~bit(m); }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr uint32_t bits() const { return m_bits; }
    friend constexpr bool operator==(EnumSet a, EnumSet b) { return a.m_bits == b.m_bits; }

private:
    static constexpr uint32_t bit(Enum m) { return uint32_t(1) << static_cast<unsigned>(m); }
    uint32_t m_bits = 0;
};
