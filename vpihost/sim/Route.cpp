#include "Route.h"

#include <cmath>
#include <iterator>

namespace vpisim {

namespace {

// Corners of the loop in metres east and north of the origin, clockwise
// round a few city blocks; the last corner leads back to the first.
struct Corner {
    double east, north;
};
constexpr Corner kCorners[] = {{0, 0}, {160, 0}, {160, 110}, {270, 110}, {270, 240}, {110, 240}, {110, 170}, {0, 170}};
constexpr int kCornerCount = static_cast<int>(std::size(kCorners));

constexpr double kOriginLatitude = 35.681236;
constexpr double kOriginLongitude = 139.767125;
constexpr double kEarthRadius = 6371008.8;
constexpr double kPi = 3.14159265358979323846;

double SegmentLength(int i) {
    const Corner& a = kCorners[i];
    const Corner& b = kCorners[(i + 1) % kCornerCount];
    return std::hypot(b.east - a.east, b.north - a.north);
}

}  // namespace

Route::Route(double speedKmh) : m_speedKmh(speedKmh > 0 ? speedKmh : kDefaultSpeedKmh) {}

double Route::LengthMetres() const {
    double length = 0;
    for (int i = 0; i < kCornerCount; ++i) length += SegmentLength(i);
    return length;
}

Truth Route::At(long secondOfDay) const {
    const double length = LengthMetres();
    double along = std::fmod(m_speedKmh / 3.6 * static_cast<double>(secondOfDay), length);
    if (along < 0) along += length;

    int segment = 0;
    while (segment < kCornerCount - 1 && along >= SegmentLength(segment)) along -= SegmentLength(segment++);
    const Corner& a = kCorners[segment];
    const Corner& b = kCorners[(segment + 1) % kCornerCount];
    const double fraction = along / SegmentLength(segment);
    const double east = a.east + (b.east - a.east) * fraction;
    const double north = a.north + (b.north - a.north) * fraction;

    Truth truth;
    const double latRad = kOriginLatitude * kPi / 180.0;
    truth.latitude = kOriginLatitude + north / kEarthRadius * 180.0 / kPi;
    truth.longitude = kOriginLongitude + east / (kEarthRadius * std::cos(latRad)) * 180.0 / kPi;
    // A gentle rise and fall along the loop, at the 0.1 m the sentences carry.
    const double position = (static_cast<double>(segment) + fraction) / kCornerCount;
    truth.altitude = std::round(10.0 * (38.0 + 4.0 * std::sin(2 * kPi * position))) / 10.0;
    double course = std::atan2(b.east - a.east, b.north - a.north) * 180.0 / kPi;
    if (course < 0) course += 360.0;
    truth.course = course;
    truth.speedKmh = m_speedKmh;
    return truth;
}

}  // namespace vpisim
