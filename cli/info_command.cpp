// `pathbloom info`: the property list, about text and registered parameters
// of a plug-in file, as minihost reads them.
#include "cli/info_command.h"

#include <cstdlib>
#include <iomanip>
#include <sstream>

#include "cli/effect_session.h"
#include "cli/parameter_reference.h"
#include "cli/plugin_location.h"
#include "cli/printed.h"
#include "cli/scene.h"

namespace pathbloom {

namespace {

std::string hex(uint32_t value) { return printed("0x%X", value); }
std::string integer(A_long value) { return std::to_string(value); }
std::string fixed(PF_Fixed value) { return printed("%g", value / 65536.0); }
std::string real(double value) { return printed("%g", value); }

// "default D, valid A..B, slider C..D" of a slider definition, its numbers
// shown by `show`.
template <typename Def, typename Show>
std::string sliderRanges(const Def &def, Show show) {
    return "default " + show(def.dephault) + ", valid " + show(def.valid_min) + ".." + show(def.valid_max) +
           ", slider " + show(def.slider_min) + ".." + show(def.slider_max);
}

// The ranges of a fixed or float slider, then how it shows its value.
template <typename Def, typename Show>
std::string decimalSlider(const Def &def, Show show) {
    return sliderRanges(def, show) + (def.display_flags & PF_ValueDisplayFlag_PERCENT ? ", percent" : "") +
           ", precision " + std::to_string(def.precision);
}

std::string typeName(PF_ParamType type) {
    switch (type) {
    case PF_Param_LAYER:
        return "layer";
    case PF_Param_SLIDER:
        return "integer slider";
    case PF_Param_FIX_SLIDER:
        return "fixed slider";
    case PF_Param_ANGLE:
        return "angle";
    case PF_Param_CHECKBOX:
        return "checkbox";
    case PF_Param_COLOR:
        return "colour";
    case PF_Param_POPUP:
        return "popup";
    case PF_Param_FLOAT_SLIDER:
        return "float slider";
    case PF_Param_PATH:
        return "path";
    case PF_Param_GROUP_START:
        return "group start";
    case PF_Param_GROUP_END:
        return "group end";
    default:
        return "type " + std::to_string(type);
    }
}

// Effect version in the host's packing: version, subversion, bug fix, stage, build.
std::string effectVersion(uint32_t v) {
    static const char *stages[] = {"develop", "alpha", "beta", "release"};
    std::ostringstream text;
    text << hex(v) << " (" << ((v >> 19) & 0x7) << "." << ((v >> 15) & 0xf) << "." << ((v >> 11) & 0xf) << ", "
         << stages[(v >> 9) & 0x3] << ", build " << (v & 0x1ff) << ")";
    return text.str();
}

// A registered float (a slider's A_FpShort) as the double of its shortest
// decimal form: 0.1f gives 0.1, not 0.10000000149011612.
double shortestFloat(float value) {
    for (int digits = 6; digits < 9; ++digits) {
        const std::string text = printed("%.*g", digits, double(value));
        if (std::strtof(text.c_str(), nullptr) == value) return std::strtod(text.c_str(), nullptr);
    }
    return double(value);
}

double fixedValue(PF_Fixed value) { return value / 65536.0; }

template <typename Def, typename Convert>
void sliderJson(nlohmann::ordered_json &j, const Def &def, Convert convert) {
    j["default"] = convert(def.dephault);
    j["valid"] = {{"min", convert(def.valid_min)}, {"max", convert(def.valid_max)}};
    j["slider"] = {{"min", convert(def.slider_min)}, {"max", convert(def.slider_max)}};
}

template <typename Def>
void decimalJson(nlohmann::ordered_json &j, const Def &def) {
    j["precision"] = def.precision;
    j["percent"] = (def.display_flags & PF_ValueDisplayFlag_PERCENT) != 0;
}

// The flags by their host names, those set in `bits` among `names`.
nlohmann::ordered_json flagNames(uint32_t bits, const std::pair<uint32_t, const char *> *names, size_t count) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (size_t i = 0; i < count; ++i)
        if (bits & names[i].first) list.push_back(names[i].second);
    return list;
}

const std::pair<uint32_t, const char *> paramFlagNames[] = {
    {PF_ParamFlag_CANNOT_TIME_VARY, "PF_ParamFlag_CANNOT_TIME_VARY"},
    {PF_ParamFlag_CANNOT_INTERP, "PF_ParamFlag_CANNOT_INTERP"},
    {PF_ParamFlag_START_COLLAPSED, "PF_ParamFlag_START_COLLAPSED"},
    {PF_ParamFlag_SUPERVISE, "PF_ParamFlag_SUPERVISE"},
};

const std::pair<uint32_t, const char *> uiFlagNames[] = {
    {PF_PUI_TOPIC, "PF_PUI_TOPIC"},
    {PF_PUI_CONTROL, "PF_PUI_CONTROL"},
    {PF_PUI_STD_CONTROL_ONLY, "PF_PUI_STD_CONTROL_ONLY"},
    {PF_PUI_NO_ECW_UI, "PF_PUI_NO_ECW_UI"},
    {PF_PUI_ECW_SEPARATOR, "PF_PUI_ECW_SEPARATOR"},
    {PF_PUI_DISABLED, "PF_PUI_DISABLED"},
    {PF_PUI_INVISIBLE, "PF_PUI_INVISIBLE"},
};

}  // namespace

nlohmann::ordered_json paramJson(int index, const PF_ParamDef &def) {
    nlohmann::ordered_json j;
    j["index"] = index;
    j["name"] = paramName(def);
    j["type"] = typeName(def.param_type);
    j["id"] = def.uu.id;
    switch (def.param_type) {
    case PF_Param_SLIDER:
        sliderJson(j, def.u.sd, [](PF_ParamValue v) { return v; });
        break;
    case PF_Param_FIX_SLIDER:
        sliderJson(j, def.u.fd, fixedValue);
        decimalJson(j, def.u.fd);
        break;
    case PF_Param_FLOAT_SLIDER:
        sliderJson(j, def.u.fs_d, shortestFloat);
        decimalJson(j, def.u.fs_d);
        break;
    case PF_Param_ANGLE:
        j["default"] = fixedValue(def.u.ad.dephault);  // degrees
        if (def.u.ad.valid_min != def.u.ad.valid_max)
            j["valid"] = {{"min", fixedValue(def.u.ad.valid_min)}, {"max", fixedValue(def.u.ad.valid_max)}};
        break;
    case PF_Param_CHECKBOX:
        j["default"] = def.u.bd.dephault != 0;
        break;
    case PF_Param_COLOR:
        j["default"] = printed("#%02x%02x%02x%02x", def.u.cd.dephault.red, def.u.cd.dephault.green,
                               def.u.cd.dephault.blue, def.u.cd.dephault.alpha);
        break;
    case PF_Param_POPUP:
        j["default"] = def.u.pd.dephault;  // 1-based, as the choices below
        j["choices"] = popupChoices(def);
        break;
    case PF_Param_PATH:
        j["default"] = def.u.path_d.dephault;  // 1-based mask number, 0: none
        break;
    case PF_Param_LAYER:
        j["default"] = def.u.ld.dephault == PF_LayerDefault_NONE ? "none" : "this layer";
        break;
    default:
        break;
    }
    j["flags"] = flagNames(uint32_t(def.flags), paramFlagNames, std::size(paramFlagNames));
    j["uiFlags"] = flagNames(uint32_t(def.ui_flags), uiFlagNames, std::size(uiFlagNames));
    return j;
}

std::string describeParam(int index, const PF_ParamDef &def, const char *column) {
    const std::string name = paramName(def);
    std::ostringstream line;
    line << std::setw(3) << index << "  ";
    if (column) line << std::left << std::setw(8) << column;
    line << std::left << std::setw(29) << (name.empty() ? std::string("(group end)") : "\"" + name + "\"")
         << std::setw(15) << typeName(def.param_type);
    std::string details;
    switch (def.param_type) {
    case PF_Param_SLIDER:
        details = sliderRanges(def.u.sd, integer);
        break;
    case PF_Param_FIX_SLIDER:
        details = decimalSlider(def.u.fd, fixed);
        break;
    case PF_Param_FLOAT_SLIDER:
        details = decimalSlider(def.u.fs_d, real);
        break;
    case PF_Param_ANGLE:
        details = "default " + fixed(def.u.ad.dephault) + " degrees" +
                  (def.u.ad.valid_min == def.u.ad.valid_max
                       ? std::string(", any value")
                       : ", valid " + fixed(def.u.ad.valid_min) + ".." + fixed(def.u.ad.valid_max));
        break;
    case PF_Param_CHECKBOX:
        details = std::string("default ") + (def.u.bd.dephault ? "on" : "off");
        break;
    case PF_Param_COLOR:
        details = printed("default #%02x%02x%02x%02x (#rrggbbaa)", def.u.cd.dephault.red, def.u.cd.dephault.green,
                          def.u.cd.dephault.blue, def.u.cd.dephault.alpha);
        break;
    case PF_Param_POPUP:
        details = "default " + std::to_string(def.u.pd.dephault) + ", " + std::to_string(def.u.pd.num_choices) +
                  " choices: " + (def.u.pd.u.namesptr ? def.u.pd.u.namesptr : "");
        break;
    case PF_Param_PATH:
        details = "default mask " + std::to_string(def.u.path_d.dephault);
        break;
    case PF_Param_LAYER:
        details = def.u.ld.dephault == PF_LayerDefault_NONE ? "default none" : "default this layer";
        break;
    default:
        break;
    }
    line << details << "  [id " << def.uu.id << ", flags " << hex(uint32_t(def.flags)) << "]";
    return line.str();
}

int runInfo(const InfoOptions &options, std::ostream &out, std::ostream &err) {
    if (options.describe) return runDescribe({options.pluginPath, options.markdown, options.prepareHost}, out, err);
    std::string path, error;
    if (!findPlugin(options.pluginPath, path, error)) {
        err << "pathbloom: " << error << "\n";
        return 1;
    }
    minihost::Host host;
    if (!minihost::openPlugin(host, path, error)) {
        err << "pathbloom: " << (error.find(path) == std::string::npos ? path + ": " : "") << error << "\n";
        return 1;
    }
    const minihost::PiplInfo &p = host.pipl;
    nlohmann::ordered_json document;
    if (options.json) {
        document["pluginFile"] = path;
        document["propertyList"] = {{"kind", p.kind},
                                    {"name", p.name},
                                    {"category", p.category},
                                    {"matchName", p.matchName},
                                    {"entryPoint", p.entryPointName},
                                    {"effectVersion", p.effectVersion},
                                    {"outFlags", p.outFlags},
                                    {"outFlags2", p.outFlags2}};
    } else {
        out << "Plug-in file   " << path << "\n"
            << "Kind           " << p.kind << "\n"
            << "Name           " << p.name << "\n"
            << "Category       " << p.category << "\n"
            << "Match name     " << p.matchName << "\n"
            << "Entry point    " << p.entryPointKey << " " << p.entryPointName << "\n"
            << "PiPL version   " << p.piplVersionMajor << "." << p.piplVersionMinor << "\n"
            << "API version    " << p.specVersionMajor << "." << p.specVersionMinor << "\n"
            << "Effect version " << effectVersion(p.effectVersion) << "\n"
            << "Info flags     " << hex(p.infoFlags) << "\n"
            << "Out flags      " << hex(p.outFlags) << "\n"
            << "Out flags 2    " << hex(p.outFlags2) << "\n"
            << "AE flags       " << hex(p.aeFlags) << "\n";
    }

    std::string about;
    const PF_Err aboutError = minihost::runAbout(host, about);
    if (options.json) {
        if (aboutError == PF_Err_NONE) {
            // The host's text breaks lines with carriage returns.
            nlohmann::ordered_json lines = nlohmann::ordered_json::array();
            std::string line;
            std::istringstream text(about);
            while (std::getline(text, line, '\r')) lines.push_back(line);
            document["about"] = std::move(lines);
        }
    } else {
        out << "\nAbout\n";
        if (aboutError != PF_Err_NONE) {
            out << "  (the about command failed with error " << aboutError << ")\n";
        } else {
            std::string line;
            std::istringstream lines(about);
            while (std::getline(lines, line, '\r')) out << "  " << line << "\n";
        }
    }

    int code = 0;
    const PF_Err setupError = minihost::setupEffect(host);
    if (setupError != PF_Err_NONE) {
        err << "pathbloom: setting up the effect failed with error " << setupError << "\n";
        code = 1;
    }
    // What a control panel shows with the scene's values: the plug-in's UI
    // update decides what is greyed out.
    bool greyedColumn = false;
    if (setupError == PF_Err_NONE && !options.scenePath.empty()) {
        Scene scene;
        std::string failure;
        if (!loadScene(options.scenePath, host.paramDefs, scene, failure)) {
            err << "pathbloom: " << failure << "\n";
            code = 1;
        } else {
            applyScene(host, scene);
            host.frame = scene.firstFrame;
            if (options.prepareHost) options.prepareHost(host);
            if (!updateUI(host, failure)) {
                err << "pathbloom: " << failure << "\n";
                code = 1;
            }
            greyedColumn = true;
        }
    }
    if (options.json) {
        nlohmann::ordered_json params = nlohmann::ordered_json::array();
        for (size_t i = 1; i < host.paramDefs.size(); ++i) {
            params.push_back(paramJson(int(i), host.paramDefs[i]));
            if (greyedColumn) params.back()["greyed"] = minihost::paramDisabled(host, int(i));
        }
        document["parameters"] = std::move(params);
    } else {
        out << "\nParameters (" << (host.paramDefs.empty() ? 0 : host.paramDefs.size() - 1) << ")\n";
        for (size_t i = 1; i < host.paramDefs.size(); ++i) {
            const char *column = !greyedColumn ? nullptr : minihost::paramDisabled(host, int(i)) ? "greyed" : "";
            out << describeParam(int(i), host.paramDefs[i], column) << "\n";
        }
    }
    if (setupError == PF_Err_NONE) {
        const PF_Err teardownError = minihost::teardownEffect(host);
        if (teardownError != PF_Err_NONE) {
            err << "pathbloom: tearing the effect down failed with error " << teardownError << "\n";
            code = 1;
        }
    }
    minihost::closePlugin(host);
    if (options.json) out << document.dump(2) << "\n";
    return code;
}

}  // namespace pathbloom
