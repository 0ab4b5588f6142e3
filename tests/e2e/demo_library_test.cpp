// The bundled content as the program itself loads it: every picture comes through the real
// loader as a topic with its sound and a word and decodes whole, and every record of the map, read
// by the real reader, names pictures and sounds that exist (the loader would drop the rest unseen).
#include "content/lists.h"
#include "content/map_reader.h"
#include "content/topic.h"
#include "platform/files.h"
#include "platform/imaging.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

TEST(DemoLibrary, EveryPictureIsATopicAndEveryMapRecordNamesWhatExists)
{
    const std::string demo = std::string(TAPPY_SOURCE_DIR) + "/demo/";
    CTopicList topics;
    LoadTopicLibrary(topics, CString(demo.c_str()));
    int pictures = 0;
    for (const auto& entry : std::filesystem::directory_iterator(demo + "images"))
        pictures += entry.path().extension() == ".png";
    ASSERT_GE(topics.GetCount(), 24);
    EXPECT_EQ(topics.GetCount(), pictures);
    for (int i = 0; i < topics.GetCount(); ++i) {
        const CTopic& topic = *topics.GetAt(i);
        const std::string name = topic.GetName().GetString();
        SCOPED_TRACE(name);
        ASSERT_GE(topic.GetSounds().GetCount(), 1);
        EXPECT_EQ(std::string(topic.GetSounds().GetAt(0).GetString()),
                  name.substr(0, name.size() - 3) + "wav");
        EXPECT_GE(topic.GetWords().GetCount(), 1);
        // The loader reads only a picture's header; one cut short would first fail on screen.
        EXPECT_TRUE(ImagingEnsureDecoded(topic.GetPicture()->GetNativeImage(), 1920, 1080));
    }

    const auto isTopic = [&topics](const CString& name) {
        for (int i = 0; i < topics.GetCount(); ++i)
            if (_mbsicmp(topics.GetAt(i)->GetName(), name) == 0)
                return true;
        return false;
    };
    MapFileStream map((demo + "Tappy.map").c_str());
    CTextList words, names, sounds;
    int records = 0;
    while (words.Read(map)) {
        SCOPED_TRACE("record " + std::to_string(++records));
        ASSERT_TRUE(names.Read(map) && sounds.Read(map)) << "record cut short";
        EXPECT_GT(names.GetCount(), 0);
        EXPECT_GT(words.GetCount() + sounds.GetCount(), 0);
        for (int i = 0; i < names.GetCount(); ++i)
            EXPECT_TRUE(isTopic(names.GetAt(i))) << names.GetAt(i).str() << " names no picture";
        for (int i = 0; i < sounds.GetCount(); ++i)
            EXPECT_NE(GetFileAttributesA(GetSoundsDir() + sounds.GetAt(i)), INVALID_FILE_ATTRIBUTES)
                << sounds.GetAt(i).str();
    }
    EXPECT_GE(records, 24);
    // Only the end of the file fails the stream; a stray byte is put back and leaves it good.
    EXPECT_TRUE(map.fail()) << "stray text after record " << records << " ends the map there";
}
