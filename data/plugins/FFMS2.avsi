# Quillora source filter for AviSynth scripts.
#
# FFmpegSource2 opens a media file through the source plug-in that the
# conversion scripts load from this folder. atrack = -1 takes the first audio
# track, -2 none; seekmode and colorspace are handed to the video source.

function FFmpegSource2(string source, int "vtrack", int "atrack", int "seekmode", string "colorspace")
{
    vtrack     = Default(vtrack, -1)
    atrack     = Default(atrack, -2)
    seekmode   = Default(seekmode, 1)
    colorspace = Default(colorspace, "")

    FFIndex(source)
    video = FFVideoSource(source, track = vtrack, seekmode = seekmode, colorspace = colorspace)
    return (atrack == -2) ? video : AudioDubEx(video, FFAudioSource(source, track = atrack))
}
