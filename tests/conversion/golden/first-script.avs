LoadPlugin("/opt/quillora/plugins/ffms2.so")
Import("/opt/quillora/plugins/FFMS2.avsi")
Import("/opt/quillora/HEADER.avs")

#User parameters
OutputWidth = 720/4*4
OutputHeight = 576/2*2
OutputFrameRate = 21
OutputChannels = 6
OutputSamplesPerSec = 48000
OutputBitsPerSample = 16

# Parse the media source
clip = FFmpegSource2("/media/in/clip.mts",atrack = -1, seekmode = 1,colorspace = "yv12")
clip = (clip.frameRate/OutputFrameRate >= 1.5) ? clip.SWScale(colorspace="YUY2").ConvertFPS(OutputFrameRate, zone=80).SWScale(colorspace="YV12") : clip.ConvertFPS(OutputFrameRate)
clip = clip.DelayAudio(0)
clip = clip.DisplayRatio(1.778)
clip = clip.Crop(0, 0, 320, 242)
clip = clip.Tweak(0,1,0,1)
audio = FFmpegSource2("/media/in/clip.mts", atrack = -1).KillVideo()
audio = audio.DelayAudio(0)
clip = AudioDubEx(clip, audio).Trim(0, clip.FrameCount)
clip = clip.ResizeLetterBox(OutputWidth, OutputHeight)
clip = clip.Trim(0, 1751)
return clip
