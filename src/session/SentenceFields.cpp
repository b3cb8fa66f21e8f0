// Names and units of the fields of the common marine sentences, for the
// inspector's detail view. One table; a sentence it does not know still
// shows its fields, numbered.

#include <algorithm>
#include <array>

#include "session/SentenceInspector.h"

namespace hlx {

namespace {

struct SentenceLayout {
  std::string_view type;
  // "Name|unit" per field, ';'-separated.
  std::string_view fields;
  // Fields that repeat after the fixed ones (satellites, transducers), numbered from 1.
  std::string_view repeated;
};

constexpr std::array kLayouts = {
    SentenceLayout{
        "RMC",
        "UTC time;Status;Latitude;N/S;Longitude;E/W;Speed over ground|kn;Course over ground|deg;Date;"
        "Magnetic variation|deg;E/W;Mode;Navigational status",
        {}},
    SentenceLayout{"GGA",
                   "UTC time;Latitude;N/S;Longitude;E/W;Fix quality;Satellites used;HDOP;Altitude|m;Unit;"
                   "Geoid separation|m;Unit;Age of corrections|s;Reference station",
                   {}},
    SentenceLayout{"GLL", "Latitude;N/S;Longitude;E/W;UTC time;Status;Mode", {}},
    SentenceLayout{"VTG", "Course true|deg;T;Course magnetic|deg;M;Speed|kn;N;Speed|km/h;K;Mode", {}},
    SentenceLayout{"ZDA", "UTC time;Day;Month;Year;Zone hours|h;Zone minutes|min", {}},
    SentenceLayout{"HDG", "Magnetic heading|deg;Deviation|deg;E/W;Variation|deg;E/W", {}},
    SentenceLayout{"HDT", "True heading|deg;T", {}},
    SentenceLayout{"HDM", "Magnetic heading|deg;M", {}},
    SentenceLayout{"MWV", "Wind angle|deg;Reference (R/T);Wind speed;Speed unit (K/M/N);Status", {}},
    SentenceLayout{"VWR", "Wind angle|deg;Side (L/R);Wind speed|kn;N;Wind speed|m/s;M;Wind speed|km/h;K", {}},
    SentenceLayout{"DPT", "Depth below transducer|m;Transducer offset|m;Maximum range|m", {}},
    SentenceLayout{"DBT", "Depth|ft;f;Depth|m;M;Depth|fathom;F", {}},
    SentenceLayout{
        "VHW",
        "True heading|deg;T;Magnetic heading|deg;M;Speed through water|kn;N;Speed through water|km/h;K",
        {}},
    SentenceLayout{"MTW", "Water temperature|degC;Unit", {}},
    SentenceLayout{"XDR", {}, "Transducer type;Measurement;Unit;Transducer name"},
    SentenceLayout{"RSA", "Starboard rudder|deg;Status;Port rudder|deg;Status", {}},
    SentenceLayout{
        "APB",
        "Status (blink);Status (cycle lock);Cross-track error;Steer (L/R);Unit;Arrival circle entered;"
        "Perpendicular passed;Bearing origin to destination|deg;M/T;Destination;"
        "Bearing to destination|deg;M/T;Heading to steer|deg;M/T;Mode",
        {}},
    SentenceLayout{"RMB",
                   "Status;Cross-track error|nmi;Steer (L/R);Origin;Destination;Destination latitude;N/S;"
                   "Destination longitude;E/W;Range to destination|nmi;Bearing to destination|deg;"
                   "Closing velocity|kn;Arrival status;Mode",
                   {}},
    SentenceLayout{
        "GSA",
        "Selection mode;Fix type;Satellite;Satellite;Satellite;Satellite;Satellite;Satellite;Satellite;"
        "Satellite;Satellite;Satellite;Satellite;Satellite;PDOP;HDOP;VDOP;System",
        {}},
    SentenceLayout{"GSV", "Messages;Message number;Satellites in view",
                   "Satellite;Elevation|deg;Azimuth|deg;SNR|dB"},
    SentenceLayout{"VDM", "Fragments;Fragment number;Message id;Radio channel;Payload;Fill bits", {}},
    SentenceLayout{"VDO", "Fragments;Fragment number;Message id;Radio channel;Payload;Fill bits", {}},
};

// The `index`th ';'-separated entry of `list` split at '|'; false beyond the end.
bool Entry(std::string_view list, std::size_t index, std::string& name, std::string& unit) {
  std::size_t begin = 0;
  for (std::size_t i = 0; i < index; ++i) {
    begin = list.find(';', begin);
    if (begin == std::string_view::npos) return false;
    ++begin;
  }
  if (list.empty()) return false;
  std::string_view entry = list.substr(begin, list.find(';', begin) - begin);
  const auto bar = entry.find('|');
  name = entry.substr(0, bar);
  unit = bar == std::string_view::npos ? std::string_view{} : entry.substr(bar + 1);
  return true;
}

std::size_t Count(std::string_view list) {
  return list.empty() ? 0 : static_cast<std::size_t>(std::count(list.begin(), list.end(), ';')) + 1;
}

}  // namespace

std::vector<DescribedField> DescribeFields(std::string_view line) {
  if (const auto nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
  if (!line.empty() && line.front() == '\\')
    if (const auto close = line.find('\\', 1); close != std::string_view::npos) line = line.substr(close + 1);
  if (const auto star = line.rfind('*'); star != std::string_view::npos) line = line.substr(0, star);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.empty() || (line.front() != '$' && line.front() != '!')) return {};

  std::vector<DescribedField> fields;
  std::size_t begin = 1;
  while (true) {
    const auto end = line.find(',', begin);
    fields.push_back(
        {{}, {}, std::string(line.substr(begin, end == std::string_view::npos ? end : end - begin))});
    if (end == std::string_view::npos) break;
    begin = end + 1;
  }
  fields.front().name = "Address";
  const std::string_view address = fields.front().value;
  const std::string_view type =
      address.size() > 3 && address.front() != 'P' ? address.substr(2) : std::string_view{};
  const auto layout =
      std::find_if(kLayouts.begin(), kLayouts.end(), [&](const auto& l) { return l.type == type; });
  for (std::size_t i = 1; i < fields.size(); ++i) {
    DescribedField& f = fields[i];
    const std::size_t fixed = layout == kLayouts.end() ? 0 : Count(layout->fields);
    if (layout != kLayouts.end() && Entry(layout->fields, i - 1, f.name, f.unit)) continue;
    const std::size_t repeat = layout == kLayouts.end() ? 0 : Count(layout->repeated);
    if (repeat > 0 && Entry(layout->repeated, (i - 1 - fixed) % repeat, f.name, f.unit)) {
      f.name += ' ' + std::to_string((i - 1 - fixed) / repeat + 1);
      continue;
    }
    f.name = "Field " + std::to_string(i);
  }
  return fields;
}

}  // namespace hlx
