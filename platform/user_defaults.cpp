#include "user_defaults.h"

#include "atomic_file.h"
#include "config_folder.h"
#include "folder_listing.h"
#include "system_log.h"
#include "system_text.h"

#include <cctype>
#include <map>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace
{
    std::mutex fileMutex;

    // Far above anything we store (a few values).
    constexpr juce::int64 maxFileBytes = 1 << 20;

    // The file's values by key; a value that was not valid UTF-8 in the file
    // is none (not used). The file is taken as bytes and decoded by us: the
    // framework's reader steps over broken bytes, and may step past the end.
    using entries = std::map<juce::String, std::optional<juce::String>>;

    std::optional<juce::String> textOf (const juce::File& file, bool& broken)
    {
        juce::MemoryBlock bytes;

        if (! file.existsAsFile() || file.getSize() > maxFileBytes || ! file.loadFileAsData (bytes))
            return std::nullopt;

        const auto* data = static_cast<const char*> (bytes.getData());

        if (auto text = platform::system_text::decode (data, bytes.getSize()))
            return text;

        broken = true;
        return platform::system_text::decodeMarkingBroken (data, bytes.getSize());
    }

    entries read (const juce::File& file)
    {
        entries values;
        bool broken = false;
        const auto text = textOf (file, broken);
        const auto xml = text.has_value() ? juce::parseXMLIfTagMatches (*text, "PROPERTIES") : nullptr;

        if (xml == nullptr)
            return values;

        for (auto* value : xml->getChildWithTagNameIterator ("VALUE"))
        {
            const auto key = value->getStringAttribute ("name");
            const auto stored = value->getStringAttribute ("val");

            if (broken && (key + stored).containsChar (platform::system_text::replacementCharacter))
            {
                platform::system_text::reportOnce ("\nZorvalune : " + file.getFullPathName().toStdString() + ": the value of "
                                                   + key.toStdString() + " is not valid UTF-8 and is not used\n");
                values[key] = std::nullopt;
            }
            else
            {
                values[key] = stored;
            }
        }

        return values;
    }

    // The key's value when the file holds it: none inside when it is not usable.
    std::optional<std::optional<juce::String>> lookUp (const juce::File& file, const juce::String& key)
    {
        const std::lock_guard<std::mutex> lock (fileMutex);
        const auto values = read (file);
        const auto found = values.find (key);
        return found != values.end() ? std::optional<std::optional<juce::String>> (found->second) : std::nullopt;
    }

    // A file with broken bytes is left as it is: rewriting it would lose them,
    // and they may be a setting the user can still mend.
    void write (const juce::File& file, const juce::String& key, const juce::String& value)
    {
        const std::lock_guard<std::mutex> lock (fileMutex);
        bool broken = false;
        const auto text = textOf (file, broken);

        if (file == juce::File() || broken)
        {
            platform::system_text::reportOnce ("\nZorvalune : preferences could NOT be written to "
                                               + (file == juce::File() ? std::string ("any folder") : file.getFullPathName().toStdString())
                                               + (broken ? ", it is not valid UTF-8\n" : "\n"));
            return;
        }

        auto xml = text.has_value() ? juce::parseXMLIfTagMatches (*text, "PROPERTIES") : nullptr;

        if (xml == nullptr)
            xml = std::make_unique<juce::XmlElement> ("PROPERTIES");

        auto* entry = xml->getChildByAttribute ("name", key);

        if (entry == nullptr || ! entry->hasTagName ("VALUE"))
        {
            entry = xml->createNewChildElement ("VALUE");
            entry->setAttribute ("name", key);
        }

        entry->setAttribute ("val", value);
        const auto written = xml->toString();
        file.getParentDirectory().createDirectory();

        if (! platform::atomic_file::replace (file, written.toRawUTF8(), written.getNumBytesAsUTF8()))
            platform::system_log::notice ("\nZorvalune : preferences could NOT be written to %s\n", file.getFullPathName().toRawUTF8());
    }

    // A program is named without its version: an update must not start from
    // an empty file ("ardour-7.3.0~ds0" is "ardour").
    std::string withoutVersion (const std::string& name)
    {
        for (size_t i = 1; i + 1 < name.size(); ++i)
            if (std::string ("-_. ").find (name[i]) != std::string::npos && name[i + 1] >= '0' && name[i + 1] <= '9')
                return name.substr (0, i);

        return name;
    }

    // The hosting program's executable, kept to characters any file system
    // takes; read by its bytes, which need not be UTF-8.
    std::string programName()
    {
        char path[4096];
        const auto length = ::readlink ("/proc/self/exe", path, sizeof (path));

        if (length <= 0 || (size_t) length >= sizeof (path))
            return "unknown";

        const std::string full (path, (size_t) length);
        const auto name = full.substr (full.rfind ('/') + 1);
        std::string safe;

        for (const char c : name)
            safe += std::isalnum ((unsigned char) c) != 0 || c == '-' || c == '.' ? c : '_';

        return safe.empty() ? "unknown" : withoutVersion (safe);
    }

    juce::File productFolder()
    {
        const auto config = platform::configFolder();
        return config == juce::File() ? juce::File() : config.getChildFile ("Zorvalune");
    }

    // This program's file from before names lost their version
    // (preferences-ardour-7.3.0_ds0.xml); the newest when there are several.
    juce::File versionedProgramFile()
    {
        const auto folder = productFolder();
        const auto name = programName();
        const std::string prefix = "preferences-", suffix = ".xml";
        juce::File newest;
        juce::int64 newestMs = -1;

        if (folder == juce::File())
            return {};

        for (const auto& file : platform::folder_listing::filesIn (folder.getFullPathName().toStdString()))
        {
            if (file.name.size() <= prefix.size() + suffix.size() || file.name.compare (0, prefix.size(), prefix) != 0
                || file.name.compare (file.name.size() - suffix.size(), suffix.size(), suffix) != 0)
                continue;

            const auto program = file.name.substr (prefix.size(), file.name.size() - prefix.size() - suffix.size());

            if (program != name && withoutVersion (program) == name && file.modifiedMs > newestMs)
            {
                newest = folder.getChildFile (platform::folder_listing::nameOf (file.name));
                newestMs = file.modifiedMs;
            }
        }

        return newest;
    }
}

juce::File platform::user_defaults::storageFile()
{
    const auto folder = productFolder();
    return folder == juce::File() ? juce::File() : folder.getChildFile ("preferences.xml");
}

juce::File platform::user_defaults::programStorageFile()
{
    const auto folder = productFolder();
    return folder == juce::File() ? juce::File() : folder.getChildFile ("preferences-" + juce::String (programName()) + ".xml");
}

// A key this program never stored is taken from where it was kept before:
// its versioned file, else the file every program shared.
int platform::user_defaults::getInteger (const juce::String& key)
{
    for (const auto& file : { programStorageFile(), versionedProgramFile(), storageFile() })
        if (const auto found = lookUp (file, key))
            return found->value_or (juce::String()).getIntValue();

    return 0;
}

void platform::user_defaults::setInteger (const juce::String& key, int value)
{
    write (programStorageFile(), key, juce::String (value));
}

std::optional<juce::String> platform::user_defaults::getString (const juce::String& key)
{
    return lookUp (storageFile(), key).value_or (juce::String());
}

void platform::user_defaults::setString (const juce::String& key, const juce::String& value)
{
    write (storageFile(), key, value);
}
