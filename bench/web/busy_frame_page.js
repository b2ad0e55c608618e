// The busy frame in a page (busy_frame.html): the frame count from the
// address, the output into the page, window.__done once it has ended.
Module.arguments = [new URLSearchParams(location.search).get('frames') || '3000'];
Module.print = function (line) {
  document.getElementById('out').textContent += line + '\n';
};
Module.onExit = function () { window.__done = true; };
