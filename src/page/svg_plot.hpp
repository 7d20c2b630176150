// The parts every figure of the HTML report shares: linear scales, round tick values and the
// frame of a plot with its ticks, tick labels and axis titles, written as inline SVG.
#pragma once

#include <string>
#include <vector>

// Tick values spaced by a round step: 1, 2 or 5 times a power of ten.
struct Ticks {
  double step = 1.0;
  int decimals = 0;  // decimals that every tick value of this step needs
  std::vector<double> values;
  // step = mantissa * 10^exponent, mantissa 1, 2 or 5.
  int mantissa = 1, exponent = 0;
};

// The ticks of the roundest step that puts at most most_ticks intervals into low..high, every
// multiple of the step from low to high. Each value is the double nearest its decimal text, so
// 0.3 is exactly the double that "0.3" reads as. low < high, both finite, most_ticks >= 1.
Ticks round_ticks(double low, double high, int most_ticks);

// Text of a tick value with the decimals of its step: 0.5, 1.0, 10, -2.
std::string tick_label(double value, const Ticks& ticks);

// Widens low..high to the multiples of the step at or beyond them, and the ticks with them, so
// that the axis starts and ends on a tick.
void widen_to_ticks(double& low, double& high, Ticks& ticks);

// Maps values linearly onto pixels. A range that is empty or not finite is replaced by one
// that can be drawn: 0..1 for a range that is not finite, the value ± 0.5 for a single value.
struct Scale {
  double value_low, value_high, pixel_low, pixel_high;
  double pixel(double value) const {
    return pixel_low + (value - value_low) * (pixel_high - pixel_low) / (value_high - value_low);
  }
};
Scale make_scale(double value_low, double value_high, double pixel_low, double pixel_high);

// A plot area in pixels of its SVG, with the scales of its two axes.
struct Plot {
  double left, top, width, height;
  Scale x, y;
  double right() const { return left + width; }
  double bottom() const { return top + height; }
};

// Builds the plot area left..left+width, top..top+height for the given value ranges; the y
// scale runs upwards.
Plot make_plot(double left, double top, double width, double height, double x_low, double x_high,
               double y_low, double y_high);

// Opens an <svg> of the given size with its accessible title, and closes one.
void open_svg(std::string& svg, double width, double height, const std::string& title);
void close_svg(std::string& svg);

// The frame of the plot, tick marks and labels below and left of it, and the axis titles.
// Ticks outside the scale's range are left out.
void append_axes(std::string& svg, const Plot& plot, const Ticks& x_ticks, const Ticks& y_ticks,
                 const std::string& x_title, const std::string& y_title);

// A text element; the text is escaped. anchor is "start", "middle" or "end"; css_class may be
// empty.
void append_text_at(std::string& svg, double x, double y, const std::string& text,
                    const char* anchor, const char* css_class);

// Appends ` name="value"`, the value written as a coordinate.
void append_attribute(std::string& svg, const char* name, double value);

// Appends one command of path data with its numbers as coordinates: "M12 3.5", "h-4".
void append_command(std::string& path, char command, double value);
void append_command(std::string& path, char command, double x, double y);

// A straight line with the given class.
void append_line(std::string& svg, double x1, double y1, double x2, double y2,
                 const char* css_class);
