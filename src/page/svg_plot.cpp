#include "page/svg_plot.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "page/html_text.hpp"

namespace {

// 10^exponent for 0 <= exponent <= 22, exact as a double.
double power_of_ten(int exponent) {
  double power = 1.0;
  for (int i = 0; i < exponent; ++i)
    power *= 10.0;
  return power;
}

// mantissa * 10^exponent, rounded once: for a negative exponent as a division by an exact power
// of ten, so that the result is the double nearest the decimal value.
double scaled(double mantissa, int exponent) {
  if (exponent >= 0) return mantissa * power_of_ten(exponent);
  return mantissa / power_of_ten(-exponent);
}

// Every multiple of the step from low to high; a value within a billionth of a step outside
// the range still counts, so that rounding does not lose a tick at an end.
void set_tick_values(Ticks& ticks, double low, double high) {
  auto first = static_cast<int64_t>(std::ceil(low / ticks.step - 1e-9));
  auto last = static_cast<int64_t>(std::floor(high / ticks.step + 1e-9));
  ticks.values.clear();
  for (int64_t k = first; k <= last; ++k)
    ticks.values.push_back(scaled(static_cast<double>(k * ticks.mantissa), ticks.exponent));
}

}  // namespace

Ticks round_ticks(double low, double high, int most_ticks) {
  double least_step = (high - low) / most_ticks;
  int exponent = static_cast<int>(std::floor(std::log10(least_step)));
  // Steps are kept within the exact powers of ten; wider ranges are not drawn.
  if (exponent < -22) exponent = -22;
  if (exponent > 21) exponent = 21;
  // log10 may land one below a power of ten: 1, 2, 5 and 10 times 10^exponent always cover it.
  int mantissa = 10;
  for (int candidate : {1, 2, 5}) {
    // A small tolerance, so that a step equal to the range's share is not lost to rounding.
    if (scaled(candidate, exponent) >= least_step * (1.0 - 1e-9)) {
      mantissa = candidate;
      break;
    }
  }
  if (mantissa == 10) {
    mantissa = 1;
    ++exponent;
  }

  Ticks ticks;
  ticks.mantissa = mantissa;
  ticks.exponent = exponent;
  ticks.step = scaled(mantissa, exponent);
  ticks.decimals = exponent < 0 ? -exponent : 0;
  set_tick_values(ticks, low, high);
  return ticks;
}

std::string tick_label(double value, const Ticks& ticks) {
  if (value == 0.0) value = 0.0;  // never "-0"
  char text[400];
  auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, ticks.decimals);
  return std::string(text, result.ptr);
}

void widen_to_ticks(double& low, double& high, Ticks& ticks) {
  auto first = static_cast<int64_t>(std::floor(low / ticks.step + 1e-9));
  auto last = static_cast<int64_t>(std::ceil(high / ticks.step - 1e-9));
  low = scaled(static_cast<double>(first * ticks.mantissa), ticks.exponent);
  high = scaled(static_cast<double>(last * ticks.mantissa), ticks.exponent);
  set_tick_values(ticks, low, high);
}

Scale make_scale(double value_low, double value_high, double pixel_low, double pixel_high) {
  if (!std::isfinite(value_low) || !std::isfinite(value_high) || value_high < value_low) {
    value_low = 0.0;
    value_high = 1.0;
  }
  if (value_high == value_low) {
    double half = std::fmax(0.5, std::fabs(value_low) * 1e-3);
    value_low -= half;
    value_high += half;
  }
  return Scale{value_low, value_high, pixel_low, pixel_high};
}

Plot make_plot(double left, double top, double width, double height, double x_low, double x_high,
               double y_low, double y_high) {
  return Plot{left,
              top,
              width,
              height,
              make_scale(x_low, x_high, left, left + width),
              make_scale(y_low, y_high, top + height, top)};
}

void append_attribute(std::string& svg, const char* name, double value) {
  svg += ' ';
  svg += name;
  svg += "=\"";
  svg += coordinate(value);
  svg += '"';
}

void append_command(std::string& path, char command, double value) {
  path += command;
  path += coordinate(value);
}

void append_command(std::string& path, char command, double x, double y) {
  path += command;
  path += coordinate(x);
  path += ' ';
  path += coordinate(y);
}

void open_svg(std::string& svg, double width, double height, const std::string& title) {
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\"";
  append_attribute(svg, "width", width);
  append_attribute(svg, "height", height);
  svg += " viewBox=\"0 0 ";
  svg += coordinate(width);
  svg += ' ';
  svg += coordinate(height);
  svg += "\" role=\"img\"><title>";
  append_escaped(svg, title);
  svg += "</title>\n";
}

void close_svg(std::string& svg) {
  svg += "</svg>\n";
}

void append_text_at(std::string& svg, double x, double y, const std::string& text,
                    const char* anchor, const char* css_class) {
  svg += "<text";
  append_attribute(svg, "x", x);
  append_attribute(svg, "y", y);
  if (std::string_view(anchor) != "start") svg += std::string(" text-anchor=\"") + anchor + "\"";
  if (*css_class != '\0') svg += std::string(" class=\"") + css_class + "\"";
  svg += ">";
  append_escaped(svg, text);
  svg += "</text>";
}

void append_line(std::string& svg, double x1, double y1, double x2, double y2,
                 const char* css_class) {
  svg += "<line";
  append_attribute(svg, "x1", x1);
  append_attribute(svg, "y1", y1);
  append_attribute(svg, "x2", x2);
  append_attribute(svg, "y2", y2);
  svg += " class=\"";
  svg += css_class;
  svg += "\"/>";
}

void append_axes(std::string& svg, const Plot& plot, const Ticks& x_ticks, const Ticks& y_ticks,
                 const std::string& x_title, const std::string& y_title) {
  constexpr double kTickLength = 4.0;
  constexpr double kTickCharWidth = 6.0;
  svg += "<rect";
  append_attribute(svg, "x", plot.left);
  append_attribute(svg, "y", plot.top);
  append_attribute(svg, "width", plot.width);
  append_attribute(svg, "height", plot.height);
  svg += " class=\"frame\"/>";
  std::string marks;
  for (double value : x_ticks.values) {
    double x = plot.x.pixel(value);
    if (x < plot.left - 0.5 || x > plot.right() + 0.5) continue;
    append_command(marks, 'M', x, plot.bottom());
    append_command(marks, 'v', kTickLength);
    append_text_at(svg, x, plot.bottom() + kTickLength + 11.0, tick_label(value, x_ticks), "middle",
                   "tick");
  }
  std::size_t widest_label = 1;
  for (double value : y_ticks.values) {
    double y = plot.y.pixel(value);
    if (y < plot.top - 0.5 || y > plot.bottom() + 0.5) continue;
    append_command(marks, 'M', plot.left, y);
    append_command(marks, 'h', -kTickLength);
    std::string label = tick_label(value, y_ticks);
    widest_label = std::max(widest_label, label.size());
    append_text_at(svg, plot.left - kTickLength - 2.0, y + 3.5, label, "end", "tick");
  }
  svg += "<path d=\"" + marks + "\" class=\"axis\"/>";
  append_text_at(svg, plot.left + plot.width / 2.0, plot.bottom() + kTickLength + 26.0, x_title,
                 "middle", "title");
  // The y title reads upwards, centred on the plot, left of the widest tick label (tick labels
  // are about kTickCharWidth a character).
  double title_x =
      plot.left - kTickLength - 2.0 - kTickCharWidth * static_cast<double>(widest_label) - 6.0;
  double title_y = plot.top + plot.height / 2.0;
  svg += "<text transform=\"translate(";
  svg += coordinate(title_x);
  svg += ' ';
  svg += coordinate(title_y);
  svg += ") rotate(-90)\" text-anchor=\"middle\" class=\"title\">";
  append_escaped(svg, y_title);
  svg += "</text>\n";
}
