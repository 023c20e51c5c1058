// The simulated drive: a fixed loop of about 1 km through central Tokyo,
// driven at a constant speed. The position is a pure function of the UTC
// second of the day, so anyone who knows the speed can recompute the truth
// from a reported time.
#pragma once

namespace vpisim {

struct Truth {
    double latitude;   // decimal degrees, north positive
    double longitude;  // decimal degrees, east positive
    double altitude;   // metres, a multiple of 0.1
    double course;     // degrees, 0 to below 360
    double speedKmh;
};

class Route {
public:
    explicit Route(double speedKmh = kDefaultSpeedKmh);

    static constexpr double kDefaultSpeedKmh = 40.0;

    // Where the car is at the given second of the UTC day (0..86399).
    Truth At(long secondOfDay) const;

    double LengthMetres() const;
    double SpeedKmh() const { return m_speedKmh; }

private:
    double m_speedKmh;
};

}  // namespace vpisim
