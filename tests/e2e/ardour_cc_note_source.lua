ardour {
	["type"]    = "dsp",
	name        = "Norvo Test CC Note Source",
	category    = "Utility",
	license     = "MIT",
	author      = "Norvo Music",
	description = [[Sends controller 20 with value 127 on MIDI channel 3 at frame 3 and with value 0 on channel 1 at frame 5, then one note-on for note 60 (velocity 64) on channel 1 at frame 17 and the matching note-off half a second later at 48 kHz; nothing else]]
}

function dsp_ioconfig ()
	return { { midi_in = 1, midi_out = 1, audio_in = 0, audio_out = 0 }, }
end

local elapsed = 0
local release_at = 24000

function dsp_run (_, _, n_samples)
	if elapsed == 0 then
		midiout[1] = { time = 3, data = { 0xB2, 20, 127 } }
		midiout[2] = { time = 5, data = { 0xB0, 20, 0 } }
		midiout[3] = { time = 17, data = { 0x90, 60, 64 } }
	elseif elapsed <= release_at and elapsed + n_samples > release_at then
		midiout[1] = { time = release_at - elapsed + 1, data = { 0x80, 60, 0 } }
	end
	elapsed = elapsed + n_samples
end
