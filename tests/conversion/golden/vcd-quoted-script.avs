LoadPlugin("")
Import("")
Import("/opt/quillora/HEADER.avs")

#User parameters
OutputWidth = 352/4*4
OutputHeight = 288/2*2
OutputFrameRate = 21
OutputChannels = 2
OutputSamplesPerSec = 44100
OutputBitsPerSample = 16

# Parse the media source
clip = DirectShowSource("""/media/vcd/say "cheese".dat""")
clip = (clip.frameRate/OutputFrameRate >= 1.5) ? clip.SWScale(colorspace="YUY2").ConvertFPS(OutputFrameRate, zone=80).SWScale(colorspace="YV12") : clip.ConvertFPS(OutputFrameRate)
clip = clip.DelayAudio(0)
clip = clip.DisplayRatio(1.222)
clip = clip.Crop(0, 0, 0, 0)
clip = clip.Tweak(0,1,0,1)
audio = DirectShowSource("""/media/vcd/say "cheese".dat""").KillVideo()
audio = audio.DelayAudio(0)
clip = AudioDubEx(clip, audio).Trim(0, clip.FrameCount)
clip = clip.ResizeLetterBox(OutputWidth, OutputHeight)
clip = clip.Trim(0, 0)
return clip
