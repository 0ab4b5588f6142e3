// The scene: background, the current topic's picture pulsing in its box, the exit hint, and the
// topic's name, sound and word along the bottom edge. Draw keeps nothing between paints.
#include "content/topic.h"
#include "platform/gdi.h"
#include "platform/imaging.h"
#include "platform/keyboard.h"
#include "play/play_wnd.h"
#include "play/scene.h"

#include <cstring>

namespace {
// The word font as requested every paint; the platform's matching picks the installed face.
LOGFONTA WordFontRequest()
{
    LOGFONTA request;
    std::memset(&request, 0, sizeof request);
    request.lfHeight = 100;
    request.lfCharSet = RUSSIAN_CHARSET;
    request.lfQuality = ANTIALIASED_QUALITY;
    std::strcpy(request.lfFaceName, "Curier New");
    return request;
}

void DrawPicture(HDC hdc, const RECT& box, Gdiplus::Image* picture, int repeatTotal)
{
    GpImage* image = picture ? picture->GetNativeImage() : nullptr;
    UINT w = 0;
    UINT h = 0;
    GdipGetImageWidth(image, &w);
    GdipGetImageHeight(image, &h);
    const PictureRect at = ComputePictureRect(box, w, h, repeatTotal);
    GpGraphics* graphics = nullptr;
    GdipCreateFromHDC(hdc, &graphics);
    GdipDrawImageRectI(graphics, image, at.x, at.y, at.width, at.height);
    GdipDeleteGraphics(graphics);
}
} // namespace

void CPlayWnd::Draw(CDC* pDC)
{
    RECT screen = m_rcScreen;
    const RECT box = PictureBox(screen);
    const HDC hdc = pDC->GetSafeHdc();

    FillRect(hdc, &screen, SysColorBrush(COLOR_WINDOW + 1));

    CTopic* topic = m_nTopic >= 0 ? m_topics.GetAt(m_nTopic) : nullptr;
    if (topic)
        DrawPicture(hdc, box, topic->GetPicture(), m_nRepeatTotal);

    RECT hint = screen;
    hint.top += pDC->DrawText(g_strExitHint, &hint, DT_CENTER);
    if (!KeyboardLockHolds())
        pDC->DrawText(g_strNotLockedHint, &hint, DT_CENTER);
    if (topic)
        DrawTopicTexts(pDC, topic, screen);
    if (m_bDecodeAheadDue) {
        m_bDecodeAheadDue = false;
        DecodeNextChoiceAhead();
    }
}

void CPlayWnd::DrawTopicTexts(CDC* pDC, CTopic* topic, RECT& screen)
{

    pDC->DrawText(topic->GetName(), &screen, DT_SINGLELINE | DT_BOTTOM);
    pDC->DrawText(topic->GetSounds().GetAt(m_nSound), &screen,
                  DT_SINGLELINE | DT_BOTTOM | DT_RIGHT);

    const LOGFONTA request = WordFontRequest();
    CFont wordFont;
    wordFont.Attach(CreateFontIndirectA(&request));
    HGDIOBJ previous = pDC->SelectObject(&wordFont);
    pDC->DrawText(topic->GetWords().GetAt(m_nWord), &screen, DT_SINGLELINE | DT_BOTTOM | DT_CENTER);
    pDC->SelectObject(previous);
}
