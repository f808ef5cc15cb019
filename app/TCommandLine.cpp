#include "app/TCommandLine.h"

#include "app/CommandTexts.h"

#include <cstring>

namespace {
// The options QGuiApplication and QApplication take for themselves, with one dash or two.
const char* const QtOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
                                 "qwindowgeometry", "qwindowicon", "qwindowtitle", "reverse", "session",
                                 "style", "stylesheet", "widgetcount", "display", "geometry", "name",
                                 "title", "visual", "ncols", "cmap", "nograb", "dograb", "sync",
                                 "testability", "fontengine", "dialogs"};

std::string OptionName(const std::string& arg)
{
    std::string name = arg.substr(arg.rfind("--", 0) == 0 ? 2 : 1);
    const auto eq = name.find('=');
    return eq == std::string::npos ? name : name.substr(0, eq);
}

bool IsQtOption(const std::string& arg)
{
    const std::string name = OptionName(arg);
    for (const char* q : QtOptions) {
        if (name == q)
            return true;
    }
    return false;
}

const char* CommandName(TCommandOptions::TCommand c)
{
    switch (c) {
    case TCommandOptions::TCommand::Help: return "--help";
    case TCommandOptions::TCommand::List: return "--list";
    case TCommandOptions::TCommand::Install: return "--install";
    case TCommandOptions::TCommand::Uninstall: return "--uninstall";
    case TCommandOptions::TCommand::SaveSelection: return "--save-selection";
    default: return "";
    }
}

std::vector<std::string> SplitItems(const std::string& value)
{
    std::vector<std::string> items;
    std::size_t pos = 0;
    while (pos <= value.size()) {
        std::size_t end = value.find(',', pos);
        if (end == std::string::npos)
            end = value.size();
        const std::string item = value.substr(pos, end - pos);
        if (!item.empty())
            items.push_back(item);
        pos = end + 1;
    }
    return items;
}

[[noreturn]] void Fail(const QString& text)
{
    throw EUsageError(text.toStdString());
}
}

bool TCommandLine::Wanted(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (arg.size() > 1 && arg[0] == '-' && !IsQtOption(arg))
            return true;
    }
    return false;
}

int TCommandLine::LangOf(const std::vector<std::string>& args)
{
    int lang = -1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string value;
        if (args[i] == "--lang" && i + 1 < args.size())
            value = args[i + 1];
        else if (args[i].rfind("--lang=", 0) == 0)
            value = args[i].substr(7);
        else
            continue;
        lang = value == "ru" ? 0 : value == "en" ? 1 : -1;
    }
    return lang;
}

TCommandOptions TCommandLine::Parse(const std::vector<std::string>& args)
{
    using C = TCommandOptions::TCommand;
    TCommandOptions o;
    auto setCommand = [&o](C c) {
        // --save-selection goes along with --install, which then saves what it installs.
        if (o.Command == C::Install && c == C::SaveSelection)
            return;
        if (o.Command == C::SaveSelection && c == C::Install) {
            o.Command = c;
            return;
        }
        if (o.Command != C::None && o.Command != c)
            Fail(CommandText(ctTwoCommands).arg(CommandName(o.Command), CommandName(c)));
        o.Command = c;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string name = arg;
        std::string inlineValue;
        bool hasInline = false;
        if (arg.rfind("--", 0) == 0) {
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
                hasInline = true;
            }
        }
        auto value = [&]() -> std::string {
            if (hasInline)
                return inlineValue;
            if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1].rfind("--", 0) == 0)
                Fail(CommandText(ctMissingValue).arg(QString::fromStdString(name)));
            return args[++i];
        };
        auto noValue = [&] {
            if (hasInline)
                Fail(CommandText(ctUnknownOption).arg(QString::fromStdString(arg)));
        };
        if (name == "--help" || name == "-h") {
            noValue();
            o.Command = C::Help;
            return o;
        } else if (name == "--list") {
            noValue();
            setCommand(C::List);
        } else if (name == "--install") {
            noValue();
            setCommand(C::Install);
        } else if (name == "--uninstall") {
            noValue();
            setCommand(C::Uninstall);
        } else if (name == "--save-selection") {
            o.SaveSelection = value();
            setCommand(C::SaveSelection);
        } else if (name == "--target") {
            o.Target = value();
            o.HasTarget = true;
        } else if (name == "--select") {
            for (std::string& item : SplitItems(value()))
                o.Select.push_back(std::move(item));
            o.HasSelect = true;
        } else if (name == "--selection") {
            o.SelectionFile = value();
        } else if (name == "--last") {
            noValue();
            o.Last = true;
        } else if (name == "--format") {
            const std::string f = value();
            if (f != "text" && f != "json")
                Fail(CommandText(ctBadFormat));
            o.Json = f == "json";
        } else if (name == "--lang") {
            const std::string l = value();
            if (l != "en" && l != "ru")
                Fail(CommandText(ctBadLang));
            o.Lang = l == "ru" ? 0 : 1;
        } else if (name == "--yes" || name == "-y") {
            noValue();
            o.Yes = true;
        } else {
            // Qt's own options among them: they mean nothing without a window.
            Fail(CommandText(ctUnknownOption).arg(QString::fromStdString(arg)));
        }
    }
    if (o.Command == C::None)
        Fail(CommandText(ctNoCommand));
    if ((o.Command == C::Install || o.Command == C::Uninstall) && (!o.HasTarget || o.Target.empty()))
        Fail(CommandText(ctMissingTarget).arg(CommandName(o.Command)));
    if (int(o.HasSelect) + int(!o.SelectionFile.empty()) + int(o.Last) > 1)
        Fail(CommandText(ctTwoSources));
    return o;
}
