# Quillora AviSynth header, imported by every conversion script after the
# source plug-in. It holds the helpers the scripts call beside the built-in
# filters: the display ratio of the source and the letter-box resize that
# fits a clip into the output frame without distorting it.

SetMemoryMax(256)

global QuilloraDisplayRatio = 0.0

# Remembers the source's display aspect ratio (width / height) for
# ResizeLetterBox; 0 or less means the ratio of the clip's own pixels.
function DisplayRatio(clip c, float ratio)
{
    global QuilloraDisplayRatio = ratio
    return c
}

# Scales the clip to fit w x h at its display aspect ratio and fills the rest
# with black bars. Sizes stay even so that YV12 clips keep their chroma.
function ResizeLetterBox(clip c, int w, int h)
{
    dar    = (QuilloraDisplayRatio > 0.0) ? QuilloraDisplayRatio : Float(c.Width) / c.Height
    wider  = Float(w) / h > dar
    fitW   = wider ? Round(h * dar) : w
    fitH   = wider ? h : Round(w / dar)
    fitW   = Max(fitW / 4 * 4, 4)
    fitH   = Max(fitH / 2 * 2, 2)
    left   = (w - fitW) / 4 * 2
    top    = (h - fitH) / 4 * 2
    return c.LanczosResize(fitW, fitH).AddBorders(left, top, w - fitW - left, h - fitH - top)
}
