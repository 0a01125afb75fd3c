#ifndef VANTRELL_NAV2_GRIDMAP__OBS_TYPE_BIT_MAP_HPP_
#define VANTRELL_NAV2_GRIDMAP__OBS_TYPE_BIT_MAP_HPP_

#include <cstdint>

namespace vantrell_nav2_gridmap {

// The obstacle types of a cell as a set of bits. A cell may carry several.
class ObsTypeBitMap {
 public:
  static constexpr uint32_t DYNAMIC_OBSTACLE = 0x4;
  static constexpr uint32_t MILK = 0x8;
  static constexpr uint32_t CARPET = 0x20;
  static constexpr uint32_t ESCALATOR_ENTRANCE = 0x40;
  static constexpr uint32_t FLOOR_LAMP = 0x80;
  static constexpr uint32_t WHEELCHAIR = 0x100;
  static constexpr uint32_t HOSPITAL_BED = 0x200;

  ObsTypeBitMap() = default;
  explicit ObsTypeBitMap(uint32_t bits) : bits_(bits) {}

  void set(unsigned int mask) { bits_ |= mask; }
  void reset() { bits_ = 0; }
  // Does the set share at least one bit with the mask?
  bool any(unsigned int mask) const { return (bits_ & mask) != 0; }
  uint32_t value() const { return bits_; }

 private:
  uint32_t bits_{0};
};

}  // namespace vantrell_nav2_gridmap

#endif  // VANTRELL_NAV2_GRIDMAP__OBS_TYPE_BIT_MAP_HPP_
