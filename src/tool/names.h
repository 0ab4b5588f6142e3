#pragma once
// The pure rules of the parents' content tool: names that pair, words made from names, the
// voice from the locale. A picture pairs with the sound named like it with its last three bytes
// turned into "wav" (the loading's rule), so cat.png pairs with cat.wav but cat.jpeg looks for
// cat.jwav.
#include <string>

// The sound name the loading looks for beside a picture.
std::string DefaultSoundFor(const std::string& picture);

// The picture's name with an extension of three bytes, so that it pairs: cat.jpeg -> cat.jpg.
// format is what the file's bytes say it is ("JPEG"), for a name with no extension at all.
std::string PairingPictureName(const std::string& name, const std::string& format);

// A sound's name as the pairing wants it: the stem and ".wav" (cat.WAV, cat.wave -> cat.wav).
std::string PairingSoundName(const std::string& name);

// True for names a sound file usually has (wav, ogg, mp3, flac, in any case).
bool HasSoundExtension(const std::string& name);

// A picture's file name as words to say: the extension dropped, '_', '-' and '.' turned into
// blanks, runs of blanks made one: "big_red-bus.jpg" -> "big red bus".
std::string ReadableWord(const std::string& pictureName);

// The espeak-ng language from the first locale variable that is set (LANGUAGE's first entry,
// LC_ALL, LC_MESSAGES, LANG): "de_DE.UTF-8" -> "de"; "C", "POSIX" or nothing -> "en".
std::string VoiceFromLocale(const char* language, const char* lcAll, const char* lcMessages,
                            const char* lang);
