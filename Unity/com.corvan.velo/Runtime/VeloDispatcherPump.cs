using System;
using UnityEngine;
using UnityEngine.Scripting;

namespace Corvan.Velo.Unity
{
    /// <summary>Dispatches waiting results once a frame, on the main thread, within the frame's
    /// bounds (<see cref="ResultDispatcher.MaxResultsPerFrame"/>,
    /// <see cref="ResultDispatcher.FrameBudget"/>).</summary>
    internal sealed class VeloDispatcherPump : MonoBehaviour
    {
        // Called by the engine only.
        [Preserve]
        private void Update()
        {
            try
            {
                ResultDispatcher.DispatchFrame();
            }
            catch (Exception e)
            {
                Debug.LogException(e);
            }
        }
    }
}
