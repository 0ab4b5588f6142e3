// The play window's life and its key response. The scene itself is drawn in play_draw.cpp.
#include "play/play_wnd.h"

#include "content/content_dir.h"
#include "content/topic.h"
#include "platform/files.h"
#include "platform/imaging.h"
#include "platform/runtime.h"
#include "sound/sound_worker.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <vector>

namespace {
// The pulse repeats every 80 steps of the total; wrapping by a multiple of that keeps the
// picture where it was instead of letting the total run past the int range.
constexpr int kPulseCycle = 80;
} // namespace

CPlayWnd::CPlayWnd()
{
    // The token is not kept: nothing shuts the pictures' library down before the process ends.
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    crt::srand(static_cast<unsigned int>(std::time(nullptr)));
    ::StartSoundWorker();
    m_bOwnsWorker = true;
}

CPlayWnd::CPlayWnd(NoServices) {}

// The worker is stopped while everything it might still read exists; the topics go after this
// body, with the members.
CPlayWnd::~CPlayWnd()
{
    StopSoundWorker();
}

void CPlayWnd::StopSoundWorker()
{
    if (!m_bOwnsWorker)
        return;
    ::StopSoundWorker();
    m_bOwnsWorker = false;
}

BEGIN_MESSAGE_MAP(CPlayWnd, CBufferedWnd)
ON_KEY_MESSAGE(WM_SYSKEYDOWN, OnKeyDown)
ON_KEY_MESSAGE(WM_KEYDOWN, OnKeyDown)
ON_WM_SHOWWINDOW()
END_MESSAGE_MAP()

void CPlayWnd::OnShowWindow(BOOL /*bShow*/, UINT /*nStatus*/)
{
    Default();
    if (m_bLoaded)
        return;
    // Set first, so that whatever happens while loading, it happens once.
    m_bLoaded = true;
    LoadTopics();
    // Broken pictures leave the library in the background, before they can be chosen.
    std::vector<GpImage*> pictures;
    for (int i = 0; i < m_topics.GetCount(); ++i)
        pictures.push_back(m_topics.GetAt(i)->GetPicture()->GetNativeImage());
    ImagingVerifyInBackground(pictures.data(), static_cast<int>(pictures.size()));
    // Key code 0 is no real key and nothing has been requested yet: this is the first choice.
    OnKeyDown(0, 0, 0);
}

void CPlayWnd::OnKeyDown(UINT nChar, UINT nRepCnt, UINT /*nFlags*/)
{
    if (m_nLastKey >= 0 && nChar == static_cast<UINT>(m_nLastKey)) {
        long long total = static_cast<long long>(m_nRepeatTotal) + nRepCnt;
        if (total > INT_MAX)
            total -= (total - INT_MAX + kPulseCycle - 1) / kPulseCycle * kPulseCycle;
        m_nRepeatTotal = static_cast<int>(total);
    } else if (g_bSoundPending) {
        m_nLastKey = -1;
    } else if (g_bSoundPlaying) {
        m_nLastKey = -1;
    } else {
        // A topic whose picture turns out not to decode leaves, and the same press draws again
        // among the rest, so a press never shows an empty scene.
        m_nTopic = -1;
        DropTopicsThatDoNotDecode();
        while (m_topics.GetCount() > 0) {
            m_nTopic = TopicIndexFromDraw(crt::rand(), m_topics.GetCount());
            if (PictureDecodes(m_nTopic))
                break;
            DropTopic(m_nTopic);
            m_nTopic = -1;
        }
        m_nWord = m_nTopic >= 0 ? m_topics.GetAt(m_nTopic)->GetWords().GetRandomIndex() : -1;
        m_nLastKey = static_cast<int>(nChar);
        m_nRepeatTotal = 0;
    }

    InvalidateRect(m_hWnd, nullptr, FALSE);

    // A waiting request is deliberately not looked at: the newer choice replaces it.
    if (m_nTopic >= 0 && !g_bSoundPlaying) {
        const CTextList& sounds = m_topics.GetAt(m_nTopic)->GetSounds();
        m_nSound = sounds.GetRandomIndex();
        if (m_nSound >= 0)
            PostSoundRequest(GetSoundsDir() + sounds.GetAt(m_nSound));
    }
    // Decoding ahead starts once this key's scene is painted, so it never slows that paint.
    m_bDecodeAheadDue = true;
}

bool CPlayWnd::PictureDecodes(int topic)
{
    GpImage* image = m_topics.GetAt(topic)->GetPicture()->GetNativeImage();
    const int w = m_rcScreen.right - m_rcScreen.left, h = m_rcScreen.bottom - m_rcScreen.top;
    // With no screen yet there is nothing to decode for; the first draw decides.
    if (!image || w <= 0 || h <= 0)
        return true;
    return ImagingEnsureDecoded(image, w, h);
}

void CPlayWnd::DropTopic(int topic)
{
    const int last = m_topics.GetCount() - 1;
    m_topics.RemoveAt(topic);
    if (m_nTopic == last)
        m_nTopic = topic;
}

void CPlayWnd::DropTopicsThatDoNotDecode()
{
    // From the end, so the topic moved into a freed slot has been looked at already.
    for (int i = m_topics.GetCount() - 1; i >= 0; --i) {
        if (i != m_nTopic &&
            ImagingDoesNotDecode(m_topics.GetAt(i)->GetPicture()->GetNativeImage()))
            DropTopic(i);
    }
}

// The next new choice draws its topic with the generator's next value, unless sound draws
// come first (a held key or a replaced request after the sound has ended: one draw each). So
// the topics that the next two values would pick are decoded ahead, read without drawing: the
// sequence of values, and with it every choice, is exactly what it would have been.
void CPlayWnd::DecodeNextChoiceAhead()
{
    DropTopicsThatDoNotDecode();
    const int count = m_topics.GetCount();
    if (count == 0)
        return;
    std::vector<GpImage*> next;
    for (int skip = 0; skip < 2; ++skip) {
        GpImage* image = m_topics.GetAt(TopicIndexFromDraw(crt::peek_rand(skip), count))
                             ->GetPicture()
                             ->GetNativeImage();
        if (image && std::find(next.begin(), next.end(), image) == next.end())
            next.push_back(image);
    }
    ImagingDecodeAhead(next.data(), static_cast<int>(next.size()),
                       m_rcScreen.right - m_rcScreen.left, m_rcScreen.bottom - m_rcScreen.top);
}

void CPlayWnd::LoadTopics()
{
    LoadTopicLibrary(m_topics, FindContentDir(GetProgramDirectory()));
}
